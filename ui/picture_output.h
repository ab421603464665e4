// "Bild drucken …", "Bild kopieren" and "Bild exportieren …": the picture leaves Ombrix
// for paper, another program or an SVG or PDF file, as shapes where it can.
#pragma once

#include <QImage>

#include "platform/picture_export.h"
#include "ui/session.h"

class QMimeData;
class QWidget;

namespace ombrix {

// Qt's print preview over `parent`, whose print button opens the print dialog (a PDF
// file among its printers); the page as PaintPrintPage lays it out, captioned with the
// project's file name and today's date.
void PrintPicture(QWidget* parent, const Session& session);

// What "Bild kopieren" puts on the clipboard: the picture as an image and as SVG.
QMimeData* PictureMimeData(const QImage& pixels, const PictureRecord& record);
void CopyPicture(const Session& session);

}  // namespace ombrix
