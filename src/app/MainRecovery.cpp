// Keeping what was typed when the program does not end normally: the recovery snapshot,
// and the offer to restore it at the next start.

#include "app/Main.h"

#include "app/MainTexts.h"
#include "editor/RichEdit.h"
#include "widgets/MessageBox.h"
#include "storage/RecoverySnapshot.h"

#include <QLocale>
#include <QTextDocument>

namespace {
const char RestoreQuestion[] = "Pinnote was not closed normally. Restore the notes it had at %1?";
const char SnapshotFailed[] = "No recovery copy of the notes: %1";
} // namespace

void TMainForm::offerRecovery()
{
    m_snapshot = new RecoverySnapshot(m_noteFile.path(), [this] { return pages(); }, this);
    // Told at the first write that fails, another user's folder too: a notice at start-up
    // would go with the first hint as the pointer crosses the window.
    connect(m_snapshot, &RecoverySnapshot::written, this, &TMainForm::snapshotWritten);
    const std::optional<RecoverySnapshot::Found> found = m_snapshot->find();
    if (!found)
        return;
    if (!found->readable) {
        // Nothing to offer, but nothing to destroy either.
        m_snapshot->moveAside(found->time);
        return;
    }
    if (NotePage::sameBytes(found->pages, pages())) {
        m_snapshot->remove();
        return;
    }

    MessageBox::Request question;
    // The window is not on show yet: the question stands on its own, centred on the screen.
    question.parent = nullptr;
    question.text = QString::fromLatin1(RestoreQuestion).arg(QLocale().toString(found->time, QLocale::ShortFormat));
    question.caption = QString::fromLatin1(MainTexts::ApplicationTitle);
    question.icon = MessageBox::Icon::Question;
    question.buttons = MessageBox::Yes | MessageBox::No;
    question.defaultButton = MessageBox::Yes;
    if (MessageBox::show(question) != MessageBox::Yes) {
        m_snapshot->moveAside(found->time);
        return;
    }
    setPages(found->pages);
}

void TMainForm::startSnapshots()
{
    // An undo back to the saved text is a change too: the last snapshot may hold more.
    connect(Memo, &RichEdit::textEdited, this, &TMainForm::notesChanged);
}

void TMainForm::notesChanged()
{
    if (m_snapshot)
        m_snapshot->changed();
}

void TMainForm::snapshotWritten(bool ok)
{
    if (ok) {
        if (!m_snapshotNotice.isEmpty() && hint() == m_snapshotNotice)
            setHint(QString());
        m_snapshotNotice.clear();
        return;
    }
    // Once: every later change tries again, and would say the same each time.
    if (!m_snapshotNotice.isEmpty())
        return;
    m_snapshotNotice = QString::fromLatin1(SnapshotFailed).arg(m_snapshot->lastError());
    setHint(m_snapshotNotice);
}

void TMainForm::notesSaved()
{
    if (m_snapshot)
        m_snapshot->saved();
}

void TMainForm::notesAbandoned()
{
    if (m_snapshot)
        m_snapshot->flush();
}

void TMainForm::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}
