#include "gui/app/Help.h"

#include "gui/app/Art.h"
#include "core/state/MessageKind.h"
#include "gui/app/Messages.h"

#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

UrlOpener g_opener;

// Copies every compiled-in help file whose copy is missing or differs.
bool CopyHelpOut(const QString& folder)
{
    EnsureResources();
    if (!QDir().mkpath(folder))
        return false;
    QDirIterator files(QStringLiteral(":/vorda/help"), QDir::Files);
    bool any = false;
    while (files.hasNext()) {
        const QString source = files.next();
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = in.readAll();
        const QString target = folder + QLatin1Char('/') + files.fileName();
        QFile existing(target);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == bytes) {
            any = true;
            continue;
        }
        existing.close();
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            return false;
        any = true;
    }
    return any;
}

} // namespace

QString HelpFolder()
{
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    return cache + QStringLiteral("/Tesmo/Vorda Quendal System/help");
}

void SetUrlOpener(UrlOpener opener)
{
    g_opener = std::move(opener);
}

bool OpenUrl(const QUrl& url)
{
    return g_opener ? g_opener(url) : QDesktopServices::openUrl(url);
}

bool OpenHelpPage(const std::string& page)
{
    const QString text = QString::fromStdString(page);
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    const QString file = hash < 0 ? text : text.left(hash);
    const QString folder = HelpFolder();
    bool opened = false;
    if (CopyHelpOut(folder) && QFile::exists(folder + QLatin1Char('/') + file)) {
        QUrl url = QUrl::fromLocalFile(folder + QLatin1Char('/') + file);
        if (hash >= 0)
            url.setFragment(text.mid(hash + 1));
        opened = OpenUrl(url);
    }
    if (!opened)
        ShowMessage(MessageKind::Error, "Vorda's help pages could not be opened.\r\n\r\nThey are installed with the "
                                   "program; please check that a web browser is set up for this desktop.");
    return opened;
}
