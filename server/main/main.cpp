// lumora-server: the music API server the player talks to, with a generated demo catalogue.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "accounts/Store.h"
#include "api/ApiServer.h"
#include "generated/DemoCatalogue.h"
#include "generated/DrawnPictures.h"
#include "generated/Encoders.h"
#include "generated/TestCatalogue.h"
#include "http/HttpServer.h"
#include "library/Library.h"
#include "main/DesktopMusicFolder.h"
#include "songfiles/TagReader.h"

namespace fs = std::filesystem;
using namespace lumora::server;

namespace {

// The fallback cover and the demo accounts' avatars, each drawn once.
bool DrawAssets(const std::string& assets, std::string* error) {
  std::error_code ec;
  fs::create_directories(assets, ec);
  if (!DrawPictureOnce(ApiServer::CoverFile(assets), 424242, 300, error)) return false;
  for (const Account& a : DemoAccounts())
    if (!DrawPictureOnce(ApiServer::AvatarFile(assets, a.uid), static_cast<std::uint32_t>(a.uid) * 13,
                         200, error))
      return false;
  return true;
}

const char kUsage[] =
    "usage: lumora-server [--host 127.0.0.1] [--name NAME]... [--port 3000] [--data DIR]\n"
    "                     [--library DIR | --music | --demo | --test-catalogue]\n"
    "                     [--demo-dir DIR]\n"
    "                     [--check-every SECONDS] [--max-watches N] [--test-controls]\n"
    "  --host ADDR      IPv4 address to listen on (default 127.0.0.1); any but\n"
    "                   127.x.x.x makes the service reachable from the network\n"
    "  --name NAME      another name clients reach it by (besides the address and\n"
    "                   localhost); a request naming any other host is refused\n"
    "  --port N         port; 0 picks a free one (default 3000)\n"
    "  --data DIR       accounts, sessions, likes and generated files\n"
    "                   (default $XDG_DATA_HOME/lumora-server)\n"
    "  --library DIR    serve the music files of DIR, following its changes\n"
    "  --music          serve the music files of the desktop's music folder\n"
    "                   (XDG_MUSIC_DIR, else what user-dirs.dirs names, else ~/Music)\n"
    "  --check-every S  where changes send no events (a network share, folders past\n"
    "                   the watch limit), look at the library every S seconds\n"
    "                   (default 120; 0: only on SIGHUP)\n"
    "  --max-watches N  watch at most N folders; the others are looked at as above\n"
    "  --demo           serve the generated demo catalogue (the default)\n"
    "  --test-catalogue serve the generated catalogue of the tests' fixtures\n"
    "  --demo-dir DIR   where the generated catalogue is made and kept\n"
    "                   (default DATA/demo, or DATA/test-catalogue)\n"
    "  --test-controls  enable /__control/fault and /__control/reset (loopback only)\n";

std::string DefaultDataDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/lumora-server";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.local/share/lumora-server";
}

int Fail(const std::string& message) {
  std::cerr << "lumora-server: " << message << "\n";
  return 1;
}

// Makes the catalogue's files unless an earlier start did, telling stderr how far it got:
// scripts/run.sh shows the "songs made" lines while a first start waits.
bool MakeCatalogueFiles(const CatalogueRecipe& recipe, const std::string& dir, std::string* error) {
  auto progress = [&](int made, int total) {
    if (made == 0)
      std::cerr << "lumora-server: making the " << recipe.title << " in " << dir
                << " (only on the first start)\n";
    std::cerr << "lumora-server: " << made << "/" << total << " songs made\n";
  };
  GenerationReport report;
  if (!EnsureCatalogueFiles(recipe, dir, progress, &report, error)) return false;
  if (report.generated)
    std::cerr << "lumora-server: " << recipe.title << " made in " << report.seconds << " s ("
              << report.files << " files, " << report.bytes / 1024 << " KiB)\n";
  return true;
}

// Idle connections cost a descriptor each; take what the hard limit allows (systemd gives
// services a soft limit of 1024 and a far higher hard one).
void RaiseDescriptorLimit() {
  rlimit nofile{};
  if (getrlimit(RLIMIT_NOFILE, &nofile) != 0 || nofile.rlim_cur >= nofile.rlim_max) return;
  nofile.rlim_cur = std::min<rlim_t>(nofile.rlim_max, 65536);
  setrlimit(RLIMIT_NOFILE, &nofile);
}

}  // namespace

int main(int argc, char** argv) {
  // The server starts itself as its own tag readers, with their socket at descriptor 3.
  if (argc == 2 && std::string(argv[1]) == kTagReaderArgument) return RunTagReader(3);
  std::string host = "127.0.0.1", dataDir = DefaultDataDir(), library, demoDir;
  std::vector<std::string> names;
  int port = 3000;
  FollowOptions follow;
  bool testControls = false, testCatalogue = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "lumora-server: " << arg << " needs a value\n" << kUsage;
        std::exit(2);
      }
      return argv[++i];
    };
    // A whole number from 0 to max, else the program ends.
    auto number = [&](long max) {
      const std::string text = value();
      char* end = nullptr;
      const long n = std::strtol(text.c_str(), &end, 10);
      if (text.empty() || *end || n < 0 || n > max) std::exit(Fail("bad " + arg + ": " + text));
      return n;
    };
    if (arg == "--host") {
      host = value();
    } else if (arg == "--name") {
      names.push_back(value());
    } else if (arg == "--port") {
      port = static_cast<int>(number(65535));
    } else if (arg == "--check-every") {
      follow.checkEvery = std::chrono::seconds(number(24 * 3600));
    } else if (arg == "--max-watches") {
      follow.maxWatches = static_cast<int>(number(1 << 30));
    } else if (arg == "--data") {
      dataDir = value();
    } else if (arg == "--library" || arg == "--music") {
      library = arg == "--music" ? DesktopMusicFolder() : value();
      testCatalogue = false;
    } else if (arg == "--demo" || arg == "--test-catalogue") {
      library.clear();
      testCatalogue = arg == "--test-catalogue";
    } else if (arg == "--demo-dir") {
      demoDir = value();
    } else if (arg == "--test-controls") {
      testControls = true;
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      std::cerr << "lumora-server: unknown argument " << arg << "\n" << kUsage;
      return 2;
    }
  }
  // The address is checked before any catalogue work: a first start may take minutes.
  ListenAddress listen;
  if (!ParseListenAddress(host, &listen)) return Fail("not an IPv4 address: " + host);
  if (testControls && !listen.loopback)
    return Fail("--test-controls is only allowed on a loopback address");
  if (!listen.loopback)
    std::cerr << "lumora-server: listening on " << host
              << ", so the service is reachable from the network\n";
  if (ListenAddressTaken(listen, port)) return Fail(TakenMessage(host, port));

  // Signals are taken by sigwait below, never by the server's threads.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  // A stop asked for before the server listens waits as a pending signal: the first scan of a
  // large library looks for it, so the user is not kept waiting until the scan ends.
  auto stopPending = [] {
    sigset_t pending;
    return sigpending(&pending) == 0 &&
           (sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1);
  };

  // Accounts and sessions are private: everything made from here on is the user's alone.
  umask(077);
  std::error_code ec;
  fs::create_directories(dataDir, ec);
  if (!ec) fs::permissions(dataDir, fs::perms::owner_all, fs::perm_options::replace, ec);
  if (ec) return Fail("cannot create " + dataDir + ": " + ec.message());
  RaiseDescriptorLimit();
  EnsureGstreamer();

  std::string error, assetsError;
  // The pictures are drawn while the catalogue is read: on a first start both take a while.
  const std::string assets = dataDir + "/assets";
  std::future<bool> assetsMade =
      std::async(std::launch::async, [&] { return DrawAssets(assets, &assetsError); });
  CurrentCatalogue catalogue;
  std::unique_ptr<Library> followed;
  if (!library.empty()) {
    // The user unit serves the music folder, which a new account may not have, and a share may
    // not be mounted yet: the library is served from its index, or empty, until it appears.
    if (fs::exists(library, ec) && !fs::is_directory(library, ec))
      return Fail("not a folder: " + library);
    // A throw-away cache of the files' tags, apart from the accounts (see LibraryIndex.h).
    followed = std::make_unique<Library>(library, dataDir + "/library-index.db", catalogue,
                                         "/proc/self/exe", follow);
    if (!followed->Start(&error)) return Fail("library: " + error);
  } else {
    if (demoDir.empty()) demoDir = dataDir + (testCatalogue ? "/test-catalogue" : "/demo");
    CatalogueRecipe recipe = testCatalogue ? TestCatalogueRecipe() : DemoCatalogueRecipe();
    if (!MakeCatalogueFiles(recipe, demoDir, &error)) return Fail(recipe.title + ": " + error);
    catalogue.Set(std::make_shared<const Catalogue>(BuildCatalogue(std::move(recipe), demoDir)));
  }
  if (!assetsMade.get()) return Fail("pictures: " + assetsError);
  if (stopPending()) {
    std::fprintf(stdout, "lumora-server stopped before it listened\n");
    return 0;
  }

  Store store;
  if (!store.Open(dataDir + "/lumora-server.db", &error)) return Fail("database: " + error);

  ApiServer api(catalogue, store, {assets, testControls, followed.get()});
  std::mutex logMutex;
  HttpLimits limits;
  // The tests read which ids a client asked for from the log.
  if (testControls) limits.loggedTarget = std::string::npos;
  HttpServer http([&](const HttpRequest& req, HttpResponse& res) { api.Handle(req, res); },
                  [&](const std::string& line) {
                    std::lock_guard lock(logMutex);
                    std::fprintf(stdout, "%s\n", line.c_str());
                    std::fflush(stdout);
                  },
                  limits);
  api.SetHttpServer(&http);
  if (!http.Start(host, port, &error, names)) return Fail(error);
  {
    std::lock_guard lock(logMutex);
    std::fprintf(stdout, "lumora-server listening on http://%s:%d\n", host.c_str(), http.Port());
    std::fflush(stdout);
  }
  // SIGHUP rescans the whole library; the others stop the server.
  int sig = 0;
  while (sigwait(&stopSignals, &sig) == 0 && sig == SIGHUP)
    if (followed) followed->RescanAll();
  http.Stop();
  std::fprintf(stdout, "lumora-server stopped\n");
  return 0;
}
