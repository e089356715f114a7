#pragma once
// The component's version, from the version resource recorded in the build
// (file and product version 2005.02.0008).

#include <string>
#include <string_view>

namespace trelix {

// Major, minor and revision as plain decimal integers joined by single
// blanks ("2005 2 8"); the build number (third part) does not appear.
std::string ComponentVersion();

// The file version as the resource records it ("2005.02.0008"). The same
// text is kept in the ELF section kVersionSection of the library, so tools
// can read a build's version without loading it.
std::string_view FileVersionText();
inline constexpr std::string_view kVersionSection = ".trelix_version";

}  // namespace trelix
