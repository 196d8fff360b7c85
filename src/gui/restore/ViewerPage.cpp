#include "gui/restore/ViewerPage.h"

#include "core/dump/BackupCopies.h"
#include "core/dump/DumpFormat.h"
#include "core/state/AppState.h"
#include "core/store/Definitions.h"
#include "gui/app/Messages.h"
#include "gui/app/PageTable.h"
#include "gui/widgets/LabeledValue.h"
#include "gui/widgets/ShownOnDemand.h"
#include "resources/ResourceIds.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const kLoadingText = "Loading File - Please Wait";
const char* const kInputFileNotFound = "Input File Not Found";

} // namespace

ViewerPage::ViewerPage(AppState& state, PageHost& host, QWidget* parent)
    : QWidget(parent)
    , state_(state)
    , host_(host)
    , name_(state.selectedName)
    , file_(state.selectedFile)
{
    QGroupBox* frame = PageFrame(this, rid::IDD_VIEWER, QStringLiteral(" Vorda Backup Viewer "), 6);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(6);

    auto* top = new QHBoxLayout;
    auto* facts = new QGridLayout;
    facts->setHorizontalSpacing(8);
    facts->setVerticalSpacing(2);
    nameText_ = AddLabeledValue(facts, 0, 0, QStringLiteral("Backup Name:"), rid::IDC_VIEW_NAME, frame).value;
    size_ = AddLabeledValue(facts, 1, 0, QStringLiteral("Backup File Size:"), rid::IDC_VIEW_SIZE, frame).value;
    for (ValueLabel* value : {nameText_, size_}) {
        QFont bold = value->font();
        bold.setBold(true);
        value->setFont(bold);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    facts->setColumnStretch(1, 1);
    top->addLayout(facts, 1);
    lineNumbers_ = new QCheckBox(QStringLiteral("Display Line Numbers"), frame);
    lineNumbers_->setObjectName(ControlName(rid::IDC_VIEW_LINE_NUMBERS));
    lineNumbers_->setChecked(state_.settings().lineNumbers);
    top->addWidget(lineNumbers_, 0, Qt::AlignTop);
    layout->addLayout(top);

    text_ = new QPlainTextEdit(frame);
    text_->setObjectName(ControlName(rid::IDC_VIEW_TEXT));
    text_->setAccessibleName(QStringLiteral("Backup File"));
    text_->setReadOnly(true);
    text_->setUndoRedoEnabled(false);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // A backup file is read line by line, as its lines were written: long
    // lines scroll sideways instead of wrapping under the line numbers.
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text_, 1);

    loading_ = new QLabel(QString::fromLatin1(kLoadingText), frame);
    loading_->setObjectName(ControlName(rid::IDC_VIEW_LOADING));
    loading_->setAlignment(Qt::AlignCenter);
    QFont bold = loading_->font();
    bold.setBold(true);
    loading_->setFont(bold);
    QSizePolicy keepPlace = loading_->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    loading_->setSizePolicy(keepPlace);
    // Shown while a file is loading.
    MarkShownOnDemand(loading_);
    loading_->hide();
    layout->addWidget(loading_);

    auto* bottom = new QHBoxLayout;
    progress_ = new QProgressBar(frame);
    progress_->setObjectName(ControlName(rid::IDC_VIEW_PROGRESS));
    progress_->setAccessibleName(QStringLiteral("Load Progress"));
    progress_->setTextVisible(false);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setEnabled(false);
    bottom->addWidget(progress_, 1);
    status_ = new ValueLabel(QStringLiteral("Load Status"), frame);
    status_->setObjectName(ControlName(rid::IDC_VIEW_STATUS));
    status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(QStringLiteral("Updating Display")) + 16);
    bottom->addWidget(status_);
    close_ = new QPushButton(QStringLiteral("Close"), frame);
    close_->setObjectName(ControlName(rid::IDC_VIEW_CLOSE));
    close_->setMinimumSize(90, 30);
    close_->setAutoDefault(false);
    bottom->addWidget(close_);
    layout->addLayout(bottom);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("TIMER_6009"));
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &ViewerPage::OnLoadTimer);
    connect(lineNumbers_, &QCheckBox::toggled, this, &ViewerPage::OnLineNumbersToggled);
    connect(close_, &QPushButton::clicked, this, &ViewerPage::OnClose);

    showLoadingText_ = true;
    timer_->start(kLoadDelayMs);
}

void ViewerPage::OnLoadTimer()
{
    timer_->stop();
    // A switch of line numbers during a load: that load stops after its
    // current line and the new one starts as soon as it has.
    if (loadingInProgress_) {
        reloadPending_ = true;
        return;
    }
    PageBusy busy(this);
    loadingInProgress_ = true;
    do {
        reloadPending_ = false;
        if (showLoadingText_) {
            loading_->setText(QString::fromLatin1(kLoadingText));
            loading_->show();
        }
        // An older copy is named by its run's time.
        const std::string stamp = file_.empty() ? std::string() : RunStampOf(file_);
        nameText_->setText(QString::fromStdString(
            file_.empty() ? name_ : name_ + " - older copy of " + StampText(stamp, kShortTimeFormat)));
        ++loadsStarted_;
        ViewerLoader loader(state_, *this);
        // The page's own copy of the name, never a name changed meanwhile;
        // a name that breaks the name rule names no file, and the file shown
        // is one of the backup's own.
        const std::string path = file_.empty() ? BackupFilePath(state_.paths.dataDir, name_) : file_;
        lastResult_ = IsValidName(name_) && !name_.empty() && IsBackupFileOf(state_.paths.dataDir, name_, path)
            ? loader.Load(path, state_.settings().lineNumbers)
            : ViewerLoadResult::NotOpened;
        if (busy.PageClosed())
            break;
        if (!reloadPending_) {
            loading_->hide();
            showLoadingText_ = false;
        }
        if (lastResult_ == ViewerLoadResult::NotOpened)
            ShowMessage(MessageKind::Error, kInputFileNotFound);
    } while (reloadPending_ && !busy.PageClosed());
    loadingInProgress_ = false;
}

void ViewerPage::OnLineNumbersToggled(bool checked)
{
    // Stops a load in progress after its current line.
    state_.viewerActive = false;
    showLoadingText_ = true;
    StoredOrSaid("Setting", state_.config.WriteLineNumbers(checked));
    timer_->start(kLoadDelayMs);
}

void ViewerPage::OnClose()
{
    host_.ShowPage(rid::PAGE_RESTORE);
}

void ViewerPage::ShowFileSize(const std::string& text)
{
    size_->setText(QString::fromStdString(text));
}

void ViewerPage::SetProgressRange(long long maximum, long long step)
{
    // The bar counts steps, so a size beyond 2^31 still fits it.
    barStep_ = step > 0 ? step : 1;
    const long long steps = (maximum + barStep_ - 1) / barStep_;
    progress_->setEnabled(true);
    progress_->setRange(0, static_cast<int>(std::clamp(steps, 1LL, 1000000LL)));
    progress_->setValue(0);
}

void ViewerPage::StepProgress()
{
    if (progress_->value() < progress_->maximum())
        progress_->setValue(progress_->value() + 1);
}

void ViewerPage::ShowStatus(const std::string& text)
{
    status_->setText(QString::fromStdString(text));
}

void ViewerPage::ShowLoadingText(const std::string& text)
{
    loading_->setText(QString::fromStdString(text));
}

void ViewerPage::SetViewerText(std::string text)
{
    PageBusy busy(this);
    // CR LF ends become the text box's own line ends; no empty line after
    // the last one.
    if (text.ends_with("\r\n"))
        text.resize(text.size() - 2);
    // The old text goes first, so that two texts are never held at once.
    // (The text box deletes a document of its own making when it takes another.)
    const QPointer<QTextDocument> old = text_->document();
    text_->clear();
    // The text is put into a document of its own, which the text box takes
    // over once it is full: inserting into the document on show would tell
    // assistive tools about every part inserted, each with its text, which
    // with the accessibility bus active costs many times the load itself.
    auto* document = new QTextDocument(text_);
    document->setDocumentLayout(new QPlainTextDocumentLayout(document));
    document->setDefaultFont(text_->font());
    document->setUndoRedoEnabled(false);
    // The text goes in in parts, each ending at a line end, with events let
    // through between them: a file of many megabytes never freezes the window.
    QTextCursor cursor(document);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = std::min(text.size(), pos + kFillChunkBytes);
        if (end < text.size()) {
            const size_t lineEnd = text.find('\n', end);
            end = lineEnd == std::string::npos ? text.size() : lineEnd + 1;
        }
        QString part = QString::fromUtf8(text.data() + pos, static_cast<qsizetype>(end - pos));
        part.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(part);
        pos = end;
        if (pos < text.size()) {
            Pump();
            if (!state_.viewerActive || busy.PageClosed())
                break;
        }
    }
    text.clear();
    text.shrink_to_fit();
    if (busy.PageClosed()) {
        delete document;
        return;
    }
    text_->setDocument(document);
    // A document this page made earlier goes; the text box's own first one
    // stays with it.
    if (old && old != document && old->parent() == text_)
        delete old.data();
    QTextCursor start(document);
    text_->setTextCursor(start);
}

void ViewerPage::Pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
