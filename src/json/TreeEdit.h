#pragma once
// Finding, adding and moving nodes of the editable tree.

#include <cstdint>
#include <string_view>

#include "json/JsonTree.h"

namespace lumora::json_detail {

int Depth(const JsonTree& t, Index i);
// Names that script engines treat as array indexes; objects list them first, ascending.
bool ArrayIndexName(std::string_view name, std::uint32_t& value);
Index FindMember(const JsonTree& t, Index obj, std::string_view name);
// Opens a Null slot at position pos of container c, moving its block when it is full.
Index InsertSlot(JsonTree& t, Index c, std::uint32_t pos);
void EraseSlot(JsonTree& t, Index c, std::uint32_t pos);
// Copies node s of another tree into t; the result is placed by the caller.
Node Import(JsonTree& t, const JsonTree& src, Index s);
// Writes value into slot i, keeping the slot's member name.
void Place(JsonTree& t, Index i, Node value);
// The slot of member `name`, made (in engine order) when missing.
Index MemberSlot(JsonTree& t, Index obj, std::string_view name);
// Members of a freshly parsed object as the engine keeps them: a repeated name keeps its first
// place and takes the last value, as JSON.parse does; integer-like names come first, ascending.
// `obj` is the object's node (it may lie outside the tree while its parent is being built),
// `chars` holds the names (the tree's characters, or the parser's while a parse runs).
void SettleMembers(JsonTree& t, Node& obj, const char* chars);
// Merge of a JSON value into an existing container, member by member.
void Merge(JsonTree& t, Index target, const JsonTree& src, Index s);

}  // namespace lumora::json_detail
