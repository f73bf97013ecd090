#pragma once

#include "app/BuildInfo.h"
#include "app/MainTexts.h"
#include "core/TColor.h"
#include "storage/ConflictCopies.h"
#include "storage/NoteFile.h"
#include "storage/PageList.h"
#include "storage/TFont.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <memory>

class QAction;
class QFileDialog;
class QFileSystemWatcher;
class QLabel;
class QKeyEvent;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;
class RecoverySnapshot;
class RichEdit;
struct PadMergeResult;
class TabStrip;
class TAboutDlg;
class TFindDlg;
class THelpWindow;

// The main window: one editor showing one page of the pad at a time.
class TMainForm : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr char FullName[] = "Brindle Pinnote";
    static constexpr char VersionText[] = PINNOTE_VERSION_TEXT;

    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // False when the note file could not be loaded; the window must then not be shown.
    bool notesLoaded() const { return m_notesLoaded; }

    // Called at start-up after the window exists, as the dialogs live as long as it does.
    void createDialogs();

    // The pad as it stands, the page on show taken from the editor.
    NotePages pages() const;
    int pageCount() const;

    // Shows the window in front of the others, as a later copy of the program asks.
    void bringToFront();

    // Saves settings and notes without asking anything: the desktop session or the
    // process is ending.
    void saveForSessionEnd();

    void setVisible(bool visible) override;

    // The editor font as it is stored, system colours unresolved.
    const TFont &editorFont() const { return m_editorFont; }

    // The snapshot kept while there are unsaved changes.
    RecoverySnapshot *recoverySnapshot() const { return m_snapshot; }

    // The current hint shown in status panel 0.
    QString hint() const { return m_hint; }

    // Components, named after their role.
    RichEdit *Memo = nullptr;
    TabStrip *TabControl = nullptr;
    QToolBar *ToolBar = nullptr;
    QStatusBar *StatusBar = nullptr;
    QTimer *ToolbarTimer = nullptr;

    // State fields.
    bool OnTop = true;
    bool StatusOn = true;
    bool ToolbarOn = true;
    TColor MemoColour = clYellow;
    enum SearchOption { SearchWholeWord = 1, SearchMatchCase = 2 };
    bool SearchActive = false;
    int SearchOptions = 0; // SearchOption flags
    QString SearchText;

    // Menu items.
    QMenu *FileMenuItem = nullptr;
    QAction *FileSaveMenuItem = nullptr;
    QMenu *FileExportMenuItem = nullptr;
    QAction *ExportTextMenuItem = nullptr;
    QAction *ExportRTFMenuTiem = nullptr;
    QAction *FilePrintMenuItem = nullptr;
    QAction *PrinterSetup1 = nullptr;
    QAction *FileExitMenuItem = nullptr;
    QMenu *SearchMenuItem = nullptr;
    QAction *SearchFindMenuItem = nullptr;
    QAction *SearchFindallMenuItem = nullptr;
    QAction *SearchFindagainMenuItem = nullptr;
    QMenu *Edit1 = nullptr;
    QAction *EditCutMenuItem = nullptr;
    QAction *EditCopyMenuItem = nullptr;
    QAction *EditPasteMenuItem = nullptr;
    QAction *EditDeleteMenuItem = nullptr;
    QAction *EditSelectAllMenuItem = nullptr;
    QMenu *View1 = nullptr;
    QAction *ViewOnTopMenuItem = nullptr;
    QAction *ViewColourMenuItem = nullptr;
    QAction *ViewFontMenuItem = nullptr;
    QAction *ViewToolbarMenuItem = nullptr;
    QAction *ViewStatusMenuItem = nullptr;
    QMenu *PagesMenuItem = nullptr;
    QAction *PagesAddMemoMenuItem = nullptr;
    QAction *PagesRemoveMenuItem = nullptr;
    QAction *PagesPropertiesMenuItem = nullptr;
    QMenu *Help1 = nullptr;
    QAction *Contents1 = nullptr;
    QAction *AboutMenuItem = nullptr;

    // Toolbar buttons (their actions; the buttons are ToolBar->widgetForAction()).
    QAction *SaveButton = nullptr;
    QAction *CutButton = nullptr;
    QAction *CopyButton = nullptr;
    QAction *PasteButton = nullptr;
    QAction *AddMemoButton = nullptr;
    QAction *RemoveButton = nullptr;
    QAction *PrintButton = nullptr;
    QAction *AboutButton = nullptr;

    TAboutDlg *AboutDlg = nullptr;
    TFindDlg *FindDlg = nullptr;
    THelpWindow *HelpWindow = nullptr; // made at the first Help > Contents
    QFileDialog *SaveDialog = nullptr; // made at the first export, shared by both kinds

public slots:
    void UpdateMenuItems();
    void UpdateToolbarItems();

    void FileSaveMenuItemClick();
    void FileExitMenuItemClick();
    void ExportTextMenuItemClick();
    void ExportRTFMenuTiemClick();
    void FilePrintMenuItemClick();
    void PrinterSetup1Click();
    void SearchFindMenuItemClick();
    void SearchFindagainMenuItemClick();
    void EditCutMenuItemClick();
    void EditCopyMenuItemClick();
    void EditPasteMenuItemClick();
    void EditDeleteMenuItemClick();
    void EditSelectAllMenuItemClick();
    void ViewOnTopMenuItemClick();
    void ViewColourMenuItemClick();
    void ViewFontMenuItemClick();
    void ViewToolbarMenuItemClick();
    void ViewStatusMenuItemClick();
    void PagesAddMemoMenuItemClick();
    void PagesRemoveMenuItemClick();
    void Contents1Click();
    void AboutMenuItemClick();

    void TabControlChanging(bool *allowChange);
    void TabControlChange();

protected:
    // The editor's whole text; what copies it into the pad may fail (out of memory).
    virtual QString editorText() const;

    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class CloseAction { None, Free };

    // Construction, read top to bottom.
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createCentralArea();
    void createTimer();

    void FormCreate();
    CloseAction FormClose();

    // Hint line.
    void setHint(const QString &hint);
    void DisplayHint();
    void updateHintFromWidget(QWidget *widget);
    void scheduleHintUpdate();
    void settleMenuHint(QMenu *menu);

    // Menu shortcuts.
    QAction *addMenuAction(QMenu *menu, const char *name, const char *caption, const char *hint,
                           const QKeySequence &shortcut, void (TMainForm::*handler)());
    bool handleShortcut(QKeyEvent *event);
    QAction *actionForKey(const QKeyEvent *event) const;

    // Pages.
    bool LoadNotes();
    bool SaveNotes();
    void showPage(int index);
    void putPageInEditor(int index);
    void keepEditorText();
    void setPages(const NotePages &pages);
    void notesChanged();
    void notesSaved();
    void notesAbandoned();

    // Changes on disk by someone else.
    enum class DiskMerge { Merged, Unchanged, Unreadable };
    void startWatching();
    void watchNoteFile();
    bool changedOnDisk() const;
    void checkDisk();
    DiskMerge mergeFromDisk();
    bool mergeBeforeSave();
    // A file that a save took out of the way, someone else's: merged, then put aside.
    void mergeDisplaced(const QString &path);
    // Merges conflict copies until none is left, or the deadline; returns whether none is left.
    bool mergeConflictCopies(QDeadlineTimer deadline);
    void applyMerge(const PadMergeResult &merged);
    void showMergedText(int index);

    // Crash recovery.
    void offerRecovery();
    void startSnapshots();
    // Says once in status panel 0 that a snapshot cannot be written, until one is again.
    void snapshotWritten(bool ok);
    void nameEditor();
    void bringPageToFront(int index);

    // The search step of Find and Find again.
    void FindNext();

    // Settings and view.
    void readSettings();
    void writeSettings();
    void applyStayOnTop();
    void applyEditorFont(const TFont &font);
    void applyStoredBounds();
    QRect outerBounds() const;
    bool clipboardHasText() const;

    // Export.
    QFileDialog *saveDialog();
    void exportPage(bool plainText);

    // Runs a command; what it throws goes to the error box.
    template<typename F>
    void runCommand(F &&command);

    QLabel *m_hintPanel = nullptr;
    QLabel *m_memoPanel = nullptr;
    QString m_hint;
    QPointer<QWidget> m_hovered;
    bool m_hintUpdatePending = false;
    QHash<QKeySequence, QAction *> m_shortcuts;
    PageList m_pages{QString::fromLatin1(MainTexts::FirstPageName)};
    // The system's reason for the last failed save, when known.
    QString m_saveFailure;
    RecoverySnapshot *m_snapshot = nullptr;
    QString m_snapshotNotice; // what was said about a failing snapshot, until one is written
    NoteFile m_noteFile;
    // The note file as this copy last read or wrote it; none when there was none.
    std::optional<FileIdentity> m_diskIdentity;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_diskCheck = nullptr;
    int m_diskRetries = 0;
    QHash<QString, FileIdentity> m_handledCopies;
    QList<ConflictCopy> m_pendingCopies; // oldest first
    bool m_notesLoaded = false;
    bool m_closeAllowed = false;
    int m_screenPpi = 96;
    TFont m_editorFont;
    QRect m_storedBounds;
    QMargins m_appliedMargins;
    bool m_boundsPending = true;
    QString m_exportFileName;
};
