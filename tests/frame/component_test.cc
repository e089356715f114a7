// The component's published shape: identities, the class table, which
// classes clients may create, and the version.

#include <elf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/com_error.h"
#include "frame/component_classes.h"
#include "frame/version.h"
#include "support/raised.h"

namespace trelix {
namespace {

TEST(ComponentClassesTest, IdentitiesAreWellFormedAndDistinct) {
  std::vector<std::string_view> ids = {kTypeLibraryId, kSearchTypeId, kIconInformationId};
  for (const ComponentClass& c : kComponentClasses) {
    ids.push_back(c.class_id);
    ids.push_back(c.interface_id);
  }
  const std::regex guid(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");
  std::set<std::string_view> distinct;
  for (std::string_view id : ids) {
    EXPECT_TRUE(std::regex_match(std::string(id), guid)) << id;
    EXPECT_TRUE(distinct.insert(id).second) << "duplicate " << id;
    EXPECT_NE(id, kTransactionAttributeId);
  }
  EXPECT_EQ(distinct.size(), 13u);
}

TEST(ComponentClassesTest, ClassTable) {
  const std::tuple<std::string_view, std::string_view, bool> expected[] = {  // name, ProgID, ObjectControl
      {"VehicleFeatureInfo", "", false}, {"VehicleId", "", false},
      {"VehicleFeatures", "trelix_eb.VehicleFeatures", true}, {"KeyAdvantages", "trelix_eb.KeyAdvantages", true},
      {"Categories", "trelix_eb.Categories", true},
  };
  ASSERT_EQ(std::size(expected), kComponentClasses.size());
  for (size_t i = 0; i < kComponentClasses.size(); ++i) {
    const ComponentClass& c = kComponentClasses[i];
    EXPECT_EQ(std::tuple(c.name, c.prog_id, c.implements_object_control), expected[i]);
    EXPECT_EQ(c.creatable(), !std::get<1>(expected[i]).empty());
    // Only the creatable classes carry the transaction attribute, as "not supported".
    EXPECT_EQ(c.has_transaction_attribute, c.creatable()) << c.name;
    if (c.has_transaction_attribute) {
      EXPECT_EQ(c.transaction_attribute, 0);
    }
    EXPECT_EQ(c.interface_name, "_" + std::string(c.name));
    EXPECT_EQ(FindComponentClass(c.name), &c);
  }
  EXPECT_EQ(FindComponentClass("vehicleid"), &kComponentClasses[1]);
  EXPECT_EQ(FindClassByProgId("TRELIX_EB.CATEGORIES"), &kComponentClasses[4]);
  EXPECT_EQ(FindClassByProgId(""), nullptr);
  EXPECT_EQ(static_cast<int32_t>(SearchType::NeighborBased), 1);
  EXPECT_EQ(static_cast<int32_t>(SearchType::PrimaryBased), 2);
}

class Dummy : public Object {
 public:
  explicit Dummy(std::string name) : name_(std::move(name)) {}
  std::string TypeName() const override { return name_; }

 private:
  std::string name_;
};

TEST(ComponentClassesTest, OnlyCreatableClassesRegister) {
  for (const char* prog_id : {"trelix_eb.KeyAdvantages", "trelix_eb.Categories", "trelix_eb.VehicleFeatures"}) {
    EXPECT_TRUE(RegisterCreatableClass(prog_id, [prog_id] { return std::make_shared<Dummy>(prog_id); })) << prog_id;
    EXPECT_EQ(CreateObject(prog_id)->TypeName(), prog_id);
  }
  EXPECT_EQ(CreateObject("Trelix_EB.categories")->TypeName(), "trelix_eb.Categories");
  for (const char* prog_id : {"trelix_eb.VehicleId", "trelix_eb.VehicleFeatureInfo", "VehicleId", "trelix_eb.Other"}) {
    EXPECT_FALSE(RegisterCreatableClass(prog_id, [] { return std::make_shared<Dummy>("x"); })) << prog_id;
    EXPECT_EQ(testing::Raised([&] { CreateObject(prog_id); }).number(), kErrCannotCreateObject) << prog_id;
  }
  EXPECT_FALSE(RegisterCreatableClass("trelix_eb.Categories", nullptr));
}

// The content of section `name` in the ELF file at `path`, or "" when absent.
std::string ElfSection(const char* path, std::string_view name) {
  std::ifstream file(path, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (image.size() < sizeof(Elf64_Ehdr)) return "";
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof(header));
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64) return "";
  auto section = [&](size_t index) {
    Elf64_Shdr entry;
    std::memcpy(&entry, image.data() + header.e_shoff + index * header.e_shentsize, sizeof(entry));
    return entry;
  };
  const Elf64_Shdr names = section(header.e_shstrndx);
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr entry = section(i);
    if (image.c_str() + names.sh_offset + entry.sh_name == name) {
      return image.substr(entry.sh_offset, entry.sh_size);
    }
  }
  return "";
}

TEST(VersionTest, ThreeNumbersFromTheVersionResource) {
  EXPECT_EQ(ComponentVersion(), "2005 2 8");
  EXPECT_EQ(FileVersionText(), "2005.02.0008");
  // The resource is in the binary itself, readable without running it.
  const std::string section = ElfSection("/proc/self/exe", kVersionSection);
  EXPECT_EQ(std::string(section.c_str()), "2005.02.0008");
}

}  // namespace
}  // namespace trelix
