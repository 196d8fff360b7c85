#include "gui/widgets/TextFit.h"

#include <QFontMetrics>
#include <QStringList>

namespace {

// Greedy: as many words on a line as fit.
QStringList WrapAt(const QString& text, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    QString line;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype next = text.indexOf(QLatin1Char(' '), i);
        // A word with the blanks after it.
        qsizetype wordEnd = next < 0 ? text.size() : next;
        while (wordEnd < text.size() && text[wordEnd] == QLatin1Char(' '))
            ++wordEnd;
        const QString word = text.mid(i, wordEnd - i);
        if (!line.isEmpty() && metrics.horizontalAdvance(line + word.trimmed()) > width) {
            line.chop(1);
            lines << line;
            line.clear();
        }
        line += word;
        i = wordEnd;
    }
    lines << line;
    return lines;
}

} // namespace

QString FitToWidth(const QString& text, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    const qsizetype count = WrapAt(text, metrics, width).size();
    if (count <= 1)
        return text;
    // The narrowest width that needs no more lines.
    int low = width / static_cast<int>(count);
    int high = width;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (WrapAt(text, metrics, middle).size() <= count)
            high = middle;
        else
            low = middle + 1;
    }
    return WrapAt(text, metrics, high).join(QLatin1Char('\n'));
}
