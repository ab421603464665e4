// The picture's files and where else it goes: "Bild öffnen" and "Bild speichern unter";
// "Bild drucken …", "Bild kopieren" and "Bild exportieren …", for which the picture leaves
// Ombrix for paper, another program or an SVG or PDF file, as shapes where it can. A
// failure is shown through the session's boxes.
#pragma once

#include <QImage>

#include "platform/picture_export.h"
#include "ui/session.h"

class QMimeData;
class QWidget;

namespace ombrix {

// The picture at `path` into the session's canvas. A metafile's reader may work for
// seconds: `window` repaints meanwhile and holds back all input but the stop. A stopped
// load says nothing; a stopped or failed one leaves the picture as it was.
void OpenPicture(QWidget& window, Session& session, const QString& path);
// The picture's pixels to `path`, in the format its extension names.
void SavePicture(Session& session, const QString& path);
// The picture as an SVG or PDF file, by its extension.
void ExportPicture(Session& session, const QString& path);

// Qt's print preview over `parent`, whose print button opens the print dialog (a PDF
// file among its printers); the page as PaintPrintPage lays it out, captioned with the
// project's file name and today's date.
void PrintPicture(QWidget* parent, const Session& session);

// What "Bild kopieren" puts on the clipboard: the picture as an image and as SVG.
QMimeData* PictureMimeData(const QImage& pixels, const PictureRecord& record);
void CopyPicture(const Session& session);

}  // namespace ombrix
