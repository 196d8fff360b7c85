#pragma once

#include "gui/widgets/LabeledValue.h"

#include "core/restore/ViewerLoader.h"

#include <QWidget>

class AppState;
class PageHost;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// The backup viewer: the backup file of the name selected when the page was
// built, read-only, optionally with line numbers, loaded after 100 ms with a
// progress bar while the window stays usable. At most kViewerShownBytes of
// the file are put on screen. "Close" goes back to the Database Backups page.
class ViewerPage : public QWidget, public ViewerUi {
    Q_OBJECT
public:
    static constexpr int kLoadDelayMs = 100;
    // The text box is filled in parts of about this many bytes, with events
    // let through between them.
    static constexpr size_t kFillChunkBytes = 256 * 1024;

    ViewerPage(AppState& state, PageHost& host, QWidget* parent = nullptr);

    // Timer 6009: loads the file (again, when line numbers were switched
    // during a load).
    void OnLoadTimer();
    // "Display Line Numbers": stores the setting and reloads.
    void OnLineNumbersToggled(bool checked);
    void OnClose();

    const std::string& BackupName() const { return name_; }
    QPlainTextEdit* TextBox() const { return text_; }
    QCheckBox* LineNumbersBox() const { return lineNumbers_; }
    QProgressBar* ProgressBar() const { return progress_; }
    ValueLabel* StatusText() const { return status_; }
    QLabel* LoadingText() const { return loading_; }
    ValueLabel* SizeText() const { return size_; }
    QTimer* LoadTimer() const { return timer_; }
    // How the last load ended.
    ViewerLoadResult LastResult() const { return lastResult_; }
    int LoadsStarted() const { return loadsStarted_; }

    // ViewerUi
    void ShowFileSize(const std::string& text) override;
    void SetProgressRange(long long maximum, long long step) override;
    void StepProgress() override;
    void ShowStatus(const std::string& text) override;
    void ShowLoadingText(const std::string& text) override;
    void SetViewerText(std::string text) override;
    void Pump() override;

private:
    AppState& state_;
    PageHost& host_;
    const std::string name_; // the page's own copy of the backup's name
    const std::string file_; // ... and of the file shown: empty for the current one
    ValueLabel* nameText_ = nullptr;
    ValueLabel* size_ = nullptr;
    QCheckBox* lineNumbers_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QProgressBar* progress_ = nullptr;
    ValueLabel* status_ = nullptr;
    QLabel* loading_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* timer_ = nullptr;
    // The bar counts steps of the file; a 64-bit size is scaled to the bar.
    long long barStep_ = 1;
    bool loadingInProgress_ = false;
    bool reloadPending_ = false;
    bool showLoadingText_ = true;
    ViewerLoadResult lastResult_ = ViewerLoadResult::Stopped;
    int loadsStarted_ = 0;
};
