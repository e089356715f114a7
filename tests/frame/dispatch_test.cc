// Late binding through a DispatchTable: names, the reserved members,
// optional parameters, by-reference write-back and the errors callers see.

#include "frame/dispatch.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "support/raised.h"

namespace trelix {
namespace {

class Sample : public Object {
 public:
  std::string TypeName() const override { return "Sample"; }
  Variant Invoke(std::string_view name, InvokeKind kind, Args& args) override {
    return Table().Invoke(*this, name, kind, args);
  }

  static const DispatchTable<Sample>& Table() {
    static const DispatchTable<Sample> table =
        DispatchTable<Sample>()
            .PropertyGet("NewEnum", {}, [](Sample& self, Args&) { return Variant::Array(self.items_); },
                         kDispidNewEnum)
            .Method("Item", {Param::OptionalByRef("Index")},
                    [](Sample& self, Args& a) {
                      if (IsMissing(a[0])) return Variant("all");
                      return self.items_.at(static_cast<size_t>(a[0].integer()));
                    },
                    kDispidValue)
            .PropertyGet("Count", {}, [](Sample& self, Args&) { return Variant(int32_t(self.items_.size())); })
            .PropertyPut("Title", {}, [](Sample& self, Args& a) {
              self.title_ = a[0].string();
              return Variant();
            })
            .PropertyGet("Title", {}, [](Sample& self, Args&) { return Variant(self.title_); })
            .Method("Describe",
                    {"strName", Param::Optional("intLanguageID", Variant(int16_t{1})), Param::Optional("strSuffix")},
                    [](Sample&, Args& a) {
                      return Variant(a[0].string() + "|" + std::to_string(a[1].integer()) + "|" +
                                     (IsMissing(a[2]) ? std::string("missing") : a[2].string()));
                    })
            .Method("Bump", {Param::ByRef("lngValue"), "lngBy"}, [](Sample&, Args& a) {
              a[0] = Variant(int32_t(a[0].integer() + a[1].integer()));
              a[1] = Variant(int32_t{0});  // by value: the caller never sees this
              return Variant(true);
            });
    return table;
  }

 private:
  std::vector<Variant> items_{Variant("first"), Variant("second")};
  std::string title_;
};

int32_t ErrorOf(Sample& sample, std::string_view name, InvokeKind kind, Args args) {
  return testing::Raised([&] { sample.Invoke(name, kind, args); }).number();
}

TEST(DispatchTest, NamesIgnoreCase) {
  Sample sample;
  for (const char* name : {"Count", "count", "COUNT", "cOuNt"}) {
    Args args;
    EXPECT_EQ(sample.Invoke(name, InvokeKind::kPropertyGet, args), Variant(int32_t{2})) << name;
  }
  EXPECT_EQ(ErrorOf(sample, "Counts", InvokeKind::kPropertyGet, {}), kErrNoSuchMember);
  EXPECT_EQ(ErrorOf(sample, "Coun", InvokeKind::kPropertyGet, {}), kErrNoSuchMember);
}

TEST(DispatchTest, ReservedMembers) {
  Sample sample;
  Args index{Variant(int32_t{1})};
  EXPECT_EQ(sample.Invoke("", InvokeKind::kPropertyGet, index), Variant("second"));  // default member
  EXPECT_EQ(sample.Invoke("item", InvokeKind::kMethod, index), Variant("second"));
  Args none;
  EXPECT_EQ(sample.Invoke("", InvokeKind::kMethod, none), Variant("all"));
  const Variant items = sample.Invoke("_NewEnum", InvokeKind::kPropertyGet, none);
  ASSERT_TRUE(items.IsArray());
  EXPECT_EQ(items.array()->items.size(), 2u);
  EXPECT_TRUE(sample.Invoke("_newenum", InvokeKind::kMethod, none).IsArray());
  EXPECT_TRUE(sample.Invoke("NewEnum", InvokeKind::kPropertyGet, none).IsArray());
}

TEST(DispatchTest, OptionalParameters) {
  Sample sample;
  std::pair<Args, const char*> cases[] = {
      {{Variant("car")}, "car|1|missing"},  // default, missing marker
      {{Variant("car"), Variant(int16_t{3})}, "car|3|missing"},
      {{Variant("car"), Variant(int16_t{3}), Variant("!")}, "car|3|!"},
      {{Variant("car"), MissingArgument(), Variant("!")}, "car|1|!"},  // skipped in the middle
  };
  for (auto& [args, expected] : cases) EXPECT_EQ(sample.Invoke("Describe", InvokeKind::kMethod, args), Variant(expected));
}

TEST(DispatchTest, ArgumentErrors) {
  Sample sample;
  const std::tuple<const char*, InvokeKind, Args, int32_t> cases[] = {
      {"Describe", InvokeKind::kMethod, {}, kErrWrongArgumentCount},
      {"Describe", InvokeKind::kMethod, {Variant("a"), Variant(1), Variant("b"), Variant("c")}, kErrWrongArgumentCount},
      {"Count", InvokeKind::kPropertyGet, {Variant(1)}, kErrWrongArgumentCount},
      {"Title", InvokeKind::kPropertyPut, {}, kErrWrongArgumentCount},
      {"Title", InvokeKind::kPropertyPut, {Variant("a"), Variant("b")}, kErrWrongArgumentCount},
      {"Describe", InvokeKind::kMethod, {MissingArgument()}, 449},  // a required parameter left out
      {"Count", InvokeKind::kPropertyPut, {Variant(3)}, kErrNoSuchMember},  // read-only
      {"Describe", InvokeKind::kPropertyPut, {Variant("a"), Variant("b")}, kErrNoSuchMember},
      {"Bump", InvokeKind::kMethod, {Variant(1)}, kErrWrongArgumentCount},
  };
  for (const auto& [name, kind, args, error] : cases) EXPECT_EQ(ErrorOf(sample, name, kind, args), error) << name;
}

TEST(DispatchTest, PropertiesAndCallsMeet) {
  Sample sample;
  Args value{Variant("Compact")};
  sample.Invoke("title", InvokeKind::kPropertyPut, value);
  Args none;
  EXPECT_EQ(sample.Invoke("Title", InvokeKind::kPropertyGet, none), Variant("Compact"));
  EXPECT_EQ(sample.Invoke("Title", InvokeKind::kMethod, none), Variant("Compact"));
  Args name{Variant("x")};
  EXPECT_EQ(sample.Invoke("Describe", InvokeKind::kPropertyGet, name), Variant("x|1|missing"));
}

TEST(DispatchTest, ByReferenceWriteBack) {
  Sample sample;
  Args args{Variant(int32_t{5}), Variant(int32_t{2})};
  EXPECT_EQ(sample.Invoke("Bump", InvokeKind::kMethod, args), Variant(true));
  EXPECT_EQ(args, (Args{Variant(int32_t{7}), Variant(int32_t{2})}));  // the by-value argument kept
}

TEST(DispatchTest, DispatchIds) {
  const std::vector<MemberInfo>& members = Sample::Table().members();
  ASSERT_EQ(members.size(), 7u);
  EXPECT_EQ(members[0].dispid, kDispidNewEnum);
  EXPECT_EQ(members[1].dispid, kDispidValue);
  // The two halves of Title share their id; every other member has its own.
  EXPECT_EQ(members[3].dispid, members[4].dispid);
  std::set<int32_t> ids;
  for (const MemberInfo& member : members) {
    if (member.name != "Title" || member.kind == InvokeKind::kPropertyPut) {
      EXPECT_TRUE(ids.insert(member.dispid).second) << member.name;
    }
    if (member.name != "NewEnum" && member.name != "Item") {
      EXPECT_GT(member.dispid, 0) << member.name;
    }
  }
}

}  // namespace
}  // namespace trelix
