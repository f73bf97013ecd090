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
}

void TMainForm::offerRecovery()
{
    m_snapshot = new RecoverySnapshot(m_noteFile.path(), [this] { return pages(); }, this);
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
    NotePages restored = found->pages;
    if (restored.isEmpty())
        restored.append({QString::fromLatin1(MainTexts::FirstPageName), QString()});
    setPages(restored);
}

void TMainForm::startSnapshots()
{
    // An undo back to the saved text is a change too: the last snapshot may hold more.
    connect(Memo->document(), &QTextDocument::contentsChanged, this, [this] {
        if (!m_puttingPage)
            notesChanged();
    });
}

void TMainForm::notesChanged()
{
    if (m_snapshot)
        m_snapshot->changed();
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
