#include "json/JsonDocument.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "json/JsonParse.h"
#include "json/JsonPath.h"
#include "json/JsonText.h"
#include "json/JsonTree.h"
#include "json/ScriptLiteral.h"
#include "json/TapeNav.h"
#include "json/TreeEdit.h"

namespace lumora {

using namespace json_detail;

namespace {

// The value of an item argument: JSON data with the flag, else a quoted script literal.
std::optional<JsonTree> ItemValue(std::string_view value, bool json) {
  if (json) return ParseJson(value);
  std::optional<std::string> text = DecodeQuoted(value);
  if (!text) return std::nullopt;
  return StringTree(*text);
}

void CollectValues(const JsonTree& t, Index i, bool recursive, std::vector<std::string>& out) {
  const Node& n = t.nodes[i];
  for (std::uint32_t k = 0; k < n.size; ++k) {
    Index c = n.first + k;
    switch (t.nodes[c].kind) {
      case Kind::Array:
      case Kind::Object:
        if (recursive) CollectValues(t, c, recursive, out);
        break;
      case Kind::String:
      case Kind::Number:
      case Kind::Bool: {
        std::string text;
        AppendScriptText(t, c, text);
        out.push_back(std::move(text));
        break;
      }
      default:
        break;
    }
  }
}

// A new document holding what parsing the node's JSON text (non-literal) would give.
JsonDocument SubDocumentOf(const JsonTree& t, Index i) {
  Kind kind = KindOf(t, i);
  JsonTree tree;
  if (kind == Kind::Undefined) {
    tree = TreeOf(Kind::Undefined);
  } else if (kind == Kind::Null || (kind == Kind::Number && !std::isfinite(t.nodes[i].number))) {
    tree = TreeOf(Kind::Null);
  } else if (kind == Kind::Bool || kind == Kind::Number) {
    tree.nodes.push_back(Import(tree, t, i));
    if (tree.nodes[0].number == 0) tree.nodes[0].number = 0;  // -0 writes as 0
  } else {
    std::optional<JsonTree> v = EvalData(JsonText(t, i));
    tree = v ? std::move(*v) : TreeOf(Kind::Null);
  }
  return JsonDocument(std::make_shared<JsonTree>(std::move(tree)));
}

}  // namespace

// ---- JsonDocument ---------------------------------------------------------------------------

JsonDocument::JsonDocument() { Create(); }

JsonDocument::JsonDocument(EngineRef engine) : tree_(std::move(engine)) {
  if (!tree_) Create();
}

bool JsonDocument::Create() {
  tree_ = std::make_shared<JsonTree>(TreeOf(Kind::Object));
  return true;
}

bool JsonDocument::Parse(std::string_view text, bool literal) {
  // A fresh tree, so copies keep the old one; when nothing else holds the old one its storage
  // is reused, which spares a large answer most of its allocation.
  if (!tree_ || tree_.use_count() > 1) tree_ = std::make_shared<JsonTree>();
  JsonTree& tree = *tree_;
  // Objects and arrays read the same either way; only a root string or blank text differs.
  if (ParseTape(text, tree)) return true;
  tree.tape.reset();
  if (!(literal ? ParseInto(text, tree) : EvalInto(text, tree))) tree = TreeOf(Kind::Null);
  return Present(tree, 0);
}

void JsonDocument::Clear() { *tree_ = TreeOf(Kind::Object); }

std::string JsonDocument::ToText() const { return JsonText(Materialize(*tree_), 0); }

void JsonDocument::SetValue(std::string_view path, std::string_view value, bool json) {
  JsonTree& tree = Materialize(*tree_);
  if (!json) {
    Assign(tree, path, StringTree(Mark(value)));
    return;
  }
  if (value.empty()) value = "{}";
  Index existing = Locate(tree, path);
  if (Present(tree, existing) && tree.nodes[existing].kind == Kind::Object) {
    std::optional<JsonTree> source = ParseJson(value);
    Target t = Resolve(tree, path);
    if (!source || !t.ok || static_cast<int>(t.steps.size()) + Depth(*source, 0) > kMaxDepth) {
      return;
    }
    Merge(tree, existing, *source, 0);
    return;
  }
  std::optional<JsonTree> v = EvalData(value);
  if (v && v->nodes[0].kind != Kind::Undefined) Assign(tree, path, *v);
}

void JsonDocument::SetExpression(std::string_view path, std::string_view expression) {
  std::optional<JsonTree> v = EvalData(expression);
  if (v && v->nodes[0].kind != Kind::Undefined) Assign(Materialize(*tree_), path, *v);
}

bool JsonDocument::ResolvePath(std::string& path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    path = AbsoluteIn(nav, path);
    return nav.Present(LocateIn(nav, path));
  }
  path = Absolute(*tree_, path);
  return Present(*tree_, Locate(*tree_, path));
}

bool JsonDocument::Exists(std::string_view path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    return nav.Present(LocateIn(nav, path));
  }
  return Present(*tree_, Locate(*tree_, path));
}

int JsonDocument::TypeOf(std::string_view path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    return nav.TypeCode(LocateIn(nav, path));
  }
  Index i = Locate(*tree_, path);
  if (!Present(*tree_, i)) return kMissing;
  switch (tree_->nodes[i].kind) {
    case Kind::Bool:
      return kBoolean;
    case Kind::Number:
      return kNumber;
    case Kind::Object:
      return kObject;
    case Kind::Array:
      return kArray;
    case Kind::String:
      return kString;
    default:
      return kOther;
  }
}

std::string JsonDocument::GetText(std::string_view path, bool json) const {
  if (tree_->tape && !json) {
    TapeNav nav(*tree_->tape);
    Index i = LocateIn(nav, path);
    if (!nav.Present(i)) return {};
    std::string out;
    nav.AppendScriptText(i, out);
    return Unmark(std::move(out));
  }
  if (json) Materialize(*tree_);
  Index i = Locate(*tree_, path);
  if (json) return JsonText(*tree_, i);
  if (!Present(*tree_, i)) return {};
  std::string out;
  AppendScriptText(*tree_, i, out);
  return Unmark(std::move(out));
}

int JsonDocument::MemberNames(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  const JsonTree& t = Materialize(*tree_);
  Index i = Locate(t, path);
  if (Present(t, i) && t.nodes[i].kind == Kind::Object) {
    const Node& n = t.nodes[i];
    for (std::uint32_t k = 0; k < n.size; ++k)
      AppendScriptString(View(t, t.nodes[n.first + k].name), names.emplace_back());
  }
  return static_cast<int>(names.size());
}

int JsonDocument::Count(std::string_view path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    Index i = LocateIn(nav, path);
    return nav.Present(i) && nav.Type(i) == '[' ? static_cast<int>(nav.Count(i)) : 0;
  }
  Index i = Locate(*tree_, path);
  return Present(*tree_, i) && tree_->nodes[i].kind == Kind::Array
             ? static_cast<int>(tree_->nodes[i].size)
             : 0;
}

JsonDocument JsonDocument::GetSubDocument(std::string_view path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    Index i = LocateIn(nav, path);
    if (!nav.IsContainer(i)) return JsonDocument(std::make_shared<JsonTree>(nav.SubTree(i)));
    Materialize(*tree_);
  }
  return SubDocumentOf(*tree_, Locate(*tree_, path));
}

void JsonDocument::AddItem(std::string_view path, std::string_view value, bool json, bool atFront) {
  std::optional<JsonTree> item = ItemValue(value, json);
  if (!item) return;
  JsonTree& tree = Materialize(*tree_);
  Index slot = Slot(tree, Resolve(tree, path), 1 + Depth(*item, 0));
  if (slot == kNone) return;
  if (tree.nodes[slot].kind != Kind::Array) Place(tree, slot, TreeOf(Kind::Array).nodes[0]);
  Node copy = Import(tree, *item, 0);
  Place(tree, InsertSlot(tree, slot, atFront ? 0 : tree.nodes[slot].size), copy);
}

JsonDocument JsonDocument::GetItemDocument(int index, std::string_view path) const {
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    Index i = nav.ItemOf(LocateIn(nav, path), index);
    if (!nav.IsContainer(i)) return JsonDocument(std::make_shared<JsonTree>(nav.SubTree(i)));
    Materialize(*tree_);
  }
  return SubDocumentOf(*tree_, ItemOf(*tree_, Locate(*tree_, path), index));
}

std::string JsonDocument::GetItemText(int index, std::string_view path, bool json) const {
  if (tree_->tape && !json) {
    TapeNav nav(*tree_->tape);
    Index i = nav.ItemOf(LocateIn(nav, path), index);
    if (i == kNone || nav.Type(i) != '"') return {};
    return Unmark(std::string(nav.String(i)));
  }
  if (json) Materialize(*tree_);
  Index item = ItemOf(*tree_, Locate(*tree_, path), index);
  if (json) return JsonText(*tree_, item);
  if (KindOf(*tree_, item) != Kind::String) return {};
  std::string out;
  AppendScriptString(View(*tree_, tree_->nodes[item].text), out);
  return Unmark(std::move(out));
}

void JsonDocument::SetItem(int index, std::string_view path, std::string_view value, bool json) {
  std::optional<JsonTree> item = ItemValue(value, json);
  if (!item) return;
  JsonTree& tree = Materialize(*tree_);
  Index n = Locate(tree, path);
  if (!Present(tree, n)) return;
  Target t = Resolve(tree, path);
  if (!t.ok || static_cast<int>(t.steps.size()) + 1 + Depth(*item, 0) > kMaxDepth) return;
  if (tree.nodes[n].kind == Kind::Array) {
    if (index < 0) return;  // a named property on an array: nothing we keep
    if (!GrowTo(tree, n, static_cast<std::uint64_t>(index))) return;
    Node copy = Import(tree, *item, 0);
    Place(tree, tree.nodes[n].first + static_cast<Index>(index), copy);
  } else if (tree.nodes[n].kind == Kind::Object) {
    Node copy = Import(tree, *item, 0);
    Place(tree, MemberSlot(tree, n, std::to_string(index)), copy);
  }
}

void JsonDocument::RemoveItem(int index, std::string_view path) {
  JsonTree& tree = Materialize(*tree_);
  Index n = Locate(tree, path);
  if (!Present(tree, n) || tree.nodes[n].kind != Kind::Array) return;
  auto size = static_cast<long long>(tree.nodes[n].size);
  long long start = index < 0 ? std::max(size + index, 0LL) : std::min<long long>(index, size);
  if (start < size) EraseSlot(tree, n, static_cast<std::uint32_t>(start));
}

void JsonDocument::Delete(std::string_view path) {
  JsonTree& tree = Materialize(*tree_);
  Target t = Resolve(tree, path);
  if (!t.ok || t.parent == kNone) return;  // the root variable itself cannot be deleted
  const Step& last = t.steps.back();
  const Node& p = tree.nodes[t.parent];
  if (p.kind == Kind::Object) {
    Index i = FindMember(tree, t.parent,
                         last.isIndex ? std::string_view(std::to_string(last.index)) : last.name);
    if (i != kNone) EraseSlot(tree, t.parent, i - p.first);
  } else if (p.kind == Kind::Array && last.isIndex && last.index < p.size) {
    // A hole: reads as null, keeps the length.
    Place(tree, p.first + static_cast<Index>(last.index), TreeOf(Kind::Null).nodes[0]);
  }
}

void JsonDocument::SetNumber(std::string_view path, double value) {
  if (!std::isfinite(value)) return;
  JsonTree n = TreeOf(Kind::Number);
  n.nodes[0].number = value;
  Assign(Materialize(*tree_), path, n);
}

double JsonDocument::GetNumber(std::string_view path) const {
  double value = 0;
  if (tree_->tape) {
    TapeNav nav(*tree_->tape);
    value = nav.Number(LocateIn(nav, path));
  } else {
    value = ScriptNumber(*tree_, Locate(*tree_, path));
  }
  // NaN (an object, a text that is no number, a missing member) reads as 0, as any unusable
  // node does.
  return std::isnan(value) ? 0 : value;
}

std::string JsonDocument::ToTextAt(std::string_view path) const {
  const JsonTree& t = Materialize(*tree_);
  return JsonText(t, Locate(t, path));
}

JsonDocument::EngineRef JsonDocument::Engine() const { return tree_; }

int JsonDocument::NodeValues(std::vector<std::string>& values, std::string_view path,
                             bool recursive) const {
  values.clear();
  Materialize(*tree_);
  Index i = Locate(*tree_, path);
  if (Present(*tree_, i)) CollectValues(*tree_, i, recursive, values);
  return static_cast<int>(values.size());
}

}  // namespace lumora
