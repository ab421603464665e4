// How the window's process and the metafile reader (platform/metafile_reader) talk.
//
// The reader gets on its standard input one request byte, kEmfRequest or kWmfRequest, and
// the file's records; it answers on its standard output with one ReaderAnswer byte, after
// kPicture the width and height (two little-endian 32-bit numbers) and then the picture's
// RGB32 pixels (0xFFRRGGBB), top row first. It limits its own time and memory first.
#pragma once

#include <cstdint>

namespace ombrix::metafile_detail {

inline constexpr char kEmfRequest = 'E';
inline constexpr char kWmfRequest = 'W';

enum class ReaderAnswer : char {
  kPicture = 'M',
  kInvalid = 'I',     // the libraries refused the records
  kIncomplete = 'U',  // they read only part of the picture
  kTooCostly = 'C',   // drawing it needs more memory than the reader may have
};

// CPU seconds of the reader, which the window also waits at most.
inline constexpr int kReaderSeconds = 10;
// The reader's address space: the largest picture, the libraries' copies of it and their
// own code. With the window's share the two processes stay under 512 MB.
inline constexpr std::int64_t kReaderMemory = std::int64_t{320} * 1024 * 1024;

}  // namespace ombrix::metafile_detail
