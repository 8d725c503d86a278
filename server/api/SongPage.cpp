// The page a song's link opens: it reads the id from the address's fragment, asks the API for
// the song and the address of its audio, and plays it.
#include "api/ApiServer.h"

namespace lumora::server {
namespace {

const char kSongPage[] = R"(<!DOCTYPE html>
<html lang="zh"><head><meta charset="utf-8"><title>Lumora</title>
<style>body{font-family:sans-serif;margin:2em;background:#f4f2ee}img{width:200px;border-radius:8px}
#song{display:flex;gap:1.5em;align-items:center}h1{margin:0 0 .3em}</style></head>
<body><div id="song"><img id="cover" alt=""><div><h1 id="name">Lumora</h1>
<div id="artists"></div><div id="album"></div><audio id="audio" controls></audio></div></div>
<script>
function show() {
  var m = /^#\/song\?(?:.*&)?id=(\d+)/.exec(location.hash);
  if (!m) { document.getElementById('name').textContent = 'Lumora'; return; }
  var id = m[1];
  fetch('/song/detail?ids=' + id).then(function (r) { return r.text(); }).then(function (text) {
    // Ids may exceed 2^53; keep them as text.
    var doc = JSON.parse(text.replace(/"id":(\d+)/g, '"id":"$1"'));
    var s = doc.songs && doc.songs[0];
    if (!s) { document.getElementById('name').textContent = '找不到歌曲'; return; }
    document.title = s.name;
    document.getElementById('name').textContent = s.name;
    document.getElementById('artists').textContent = s.ar.map(function (a) { return a.name; }).join(' / ');
    document.getElementById('album').textContent = s.al.name;
    document.getElementById('cover').src = s.al.picUrl;
  });
  // The song's own address: its file's format, and the account's right to it.
  fetch('/song/url?id=' + id).then(function (r) { return r.json(); }).then(function (doc) {
    var url = doc.data && doc.data[0] && doc.data[0].url;
    if (url) document.getElementById('audio').src = url;
  });
}
window.addEventListener('hashchange', show);
show();
</script></body></html>
)";

}  // namespace

void ApiServer::SongPage(HttpResponse& res) {
  res.status = 200;
  res.contentType = "text/html; charset=utf-8";
  res.body = kSongPage;
}

}  // namespace lumora::server
