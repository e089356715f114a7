#include "frame/dispatch.h"

#include <algorithm>

#include "common/ascii.h"

namespace trelix {
namespace {

constexpr std::string_view kNewEnumName = "_NewEnum";
constexpr int32_t kAssignNext = DispatchTable<Object>::kNextDispid;

bool IsProperty(InvokeKind kind) { return kind == InvokeKind::kPropertyGet || kind == InvokeKind::kPropertyPut; }

}  // namespace

void DispatchTableBase::Add(std::string name, InvokeKind kind, int32_t dispid, std::vector<Param> params,
                            Handler handler) {
  if (dispid == kAssignNext) {
    // The two halves of a property share one id, as in a type library;
    // every other member gets the next id after the highest so far.
    auto partner = std::find_if(members_.begin(), members_.end(), [&](const MemberInfo& member) {
      return IsProperty(kind) && IsProperty(member.kind) && member.kind != kind && EqualsIgnoringAsciiCase(member.name, name);
    });
    if (partner != members_.end()) {
      dispid = partner->dispid;
    } else {
      int32_t highest = 0;
      for (const MemberInfo& member : members_) highest = std::max(highest, member.dispid);
      dispid = highest + 1;
    }
  }
  members_.push_back(MemberInfo{std::move(name), kind, dispid, std::move(params)});
  handlers_.push_back(std::move(handler));
}

Variant DispatchTableBase::Invoke(Object& self, std::string_view name, InvokeKind kind, Args& args) const {
  // Candidates by name (or by the reserved ids), then the one whose kind
  // fits: a put needs a put; a call and a read accept each other, as
  // late-bound callers ask for either.
  auto addressed = [&](const MemberInfo& member) {
    if (name.empty()) return member.dispid == kDispidValue;
    if (EqualsIgnoringAsciiCase(name, kNewEnumName)) return member.dispid == kDispidNewEnum;
    return EqualsIgnoringAsciiCase(name, member.name);
  };
  size_t chosen = members_.size();
  for (size_t i = 0; i < members_.size(); ++i) {
    const MemberInfo& member = members_[i];
    if (!addressed(member)) continue;
    if (member.kind == kind) {
      chosen = i;
      break;
    }
    if (kind != InvokeKind::kPropertyPut && member.kind != InvokeKind::kPropertyPut && chosen == members_.size()) {
      chosen = i;
    }
  }
  if (chosen == members_.size()) RaiseVbError(kErrNoSuchMember);
  const MemberInfo& member = members_[chosen];
  const std::vector<Param>& params = member.params;

  // A put carries the new value after the listed parameters.
  const bool put = member.kind == InvokeKind::kPropertyPut;
  if (put && args.empty()) RaiseVbError(kErrWrongArgumentCount);
  const size_t given = put ? args.size() - 1 : args.size();
  const size_t required = static_cast<size_t>(
      std::count_if(params.begin(), params.end(), [](const Param& param) { return !param.optional; }));
  if (given > params.size() || given < required) RaiseVbError(kErrWrongArgumentCount);

  Args full;
  full.reserve(params.size() + (put ? 1 : 0));
  for (size_t i = 0; i < params.size(); ++i) {
    const Param& param = params[i];
    if (i < given && !IsMissing(args[i])) {
      full.push_back(args[i]);
    } else if (param.optional) {
      full.push_back(param.default_value);
    } else {
      constexpr int32_t kErrArgumentNotOptional = 449;
      RaiseVbError(kErrArgumentNotOptional);
    }
  }
  if (put) full.push_back(args.back());

  Variant result = handlers_[chosen](self, full);

  // By-reference parameters the caller supplied see what the member wrote.
  for (size_t i = 0; i < given; ++i) {
    if (params[i].by_ref && !IsMissing(args[i])) args[i] = std::move(full[i]);
  }
  return result;
}

}  // namespace trelix
