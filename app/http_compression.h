#pragma once
// Compressed answers for clients that accept them. Browsers send
// "Accept-Encoding: gzip, deflate, br"; a 300-line spec sheet is 56 KB of
// JSON and 3-6 KB compressed. The HTTP library would compress every such
// answer itself, brotli at its slowest setting (tens of milliseconds for a
// sheet), so the service chooses and compresses instead: a cached answer
// once (the compressed text is kept with it), anything else at a
// speed-first setting.

#include <cstddef>
#include <string>
#include <string_view>

namespace trelix::app {

enum class ContentCoding { kIdentity, kGzip, kBrotli };

// How much work a compressed text is worth: kOnce for a text kept and sent
// many times, kPerAnswer for one answer.
enum class Effort { kPerAnswer, kOnce };

// The coding for a request's Accept-Encoding, among the codings the client
// accepts with a q-value above zero ("*" accepts both): the higher q-value
// wins; at equal ones brotli for a kept text (the smallest), gzip for one
// answer (the fastest). Identity when neither is accepted or the header is
// absent or malformed.
ContentCoding ChooseCoding(std::string_view accept_encoding, Effort effort);

// The Content-Encoding token: "br", "gzip" ("identity" for kIdentity).
const char* CodingName(ContentCoding coding);

// Bodies shorter than this go as they are: compressing saves less than it
// costs.
inline constexpr size_t kCompressMin = 1024;

// Whether a Content-Type names text worth compressing (JSON, XML, HTML,
// CSS, JavaScript, SVG, plain text).
bool IsCompressible(std::string_view content_type);

// `text` in `coding` (gzip or brotli; kIdentity returns it as it is).
// Throws std::runtime_error when the compressor fails (out of memory).
std::string Compress(std::string_view text, ContentCoding coding, Effort effort);

}  // namespace trelix::app
