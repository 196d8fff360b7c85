#pragma once

#include <QFont>
#include <QString>

// `text` broken into lines no wider than `width` pixels in `font`, of about
// equal length (no word left alone on the last line): each line break takes
// the place of one blank, so replacing the breaks by blanks gives the text
// back. A text that fits, or a single word, stays as it is.
QString FitToWidth(const QString& text, const QFont& font, int width);
