// Windows metafiles (EMF, WMF) as pictures: read through libemf2svg and Qt SVG (EMF) and
// libwmf (WMF), written through libuemf as one bitmap record. Errors are German
// Windows-1252 texts.
//
// The reading libraries are not hardened against hostile files, so every file is first
// checked here (size, header, the chain of records, the frame) and then converted in a
// child process with limited time and memory: a fault inside a library costs the load,
// never the program.
#pragma once

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <string>
#include <variant>

namespace ombrix {

enum class MetafileFormat { Emf, Wmf };

// Bounds on what a metafile may ask for: the picture's side and area in pixels (the area
// keeps an RGB32 picture within 64 MB), the file's bytes and its number of records.
inline constexpr int kMaxMetafileSide = 10000;
inline constexpr std::int64_t kMaxMetafilePixels = 4096 * 4096;
inline constexpr std::int64_t kMaxMetafileBytes = 64 * 1024 * 1024;
inline constexpr std::int64_t kMaxMetafileRecords = 1000000;

// "Metadatei ist ungültig"
std::string InvalidMetafileMessage();
// "Das Laden der Metadatei wurde abgebrochen": the caller's ReaderWait said stop.
std::string AbandonedMetafileMessage();

// How a caller waits for the reader, which may work for seconds: a window turns its event
// loop meanwhile, so that it repaints and its user may stop the load.
class ReaderWait {
 public:
  virtual ~ReaderWait() = default;
  // Returns when `fd` can be read or `milliseconds` (0 or more) have passed, whichever
  // comes first (a negative `fd`: once they have passed, while the reader ends after its
  // answer); true abandons the load, and the reader is stopped at once.
  virtual bool Wait(int fd, int milliseconds) = 0;
};

// The longest time between two calls of a ReaderWait while the reader works.
inline constexpr int kReaderWaitSliceMs = 30;

// The picture a metafile shows, at its own size at 96 dpi (the EMF frame, the WMF
// placeable bounds), drawn on white; or the German reason it cannot be shown. Without
// `wait` the calling thread simply blocks until the reader is done.
std::variant<QImage, std::string> DecodeMetafile(const QByteArray& bytes, MetafileFormat format,
                                                 ReaderWait* wait = nullptr);

// A metafile of the picture's size that holds it as one bitmap record; empty when it
// cannot be made (a picture larger than the limits above).
QByteArray EncodeMetafile(const QImage& image, MetafileFormat format);

}  // namespace ombrix
