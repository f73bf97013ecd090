#include "support/TestEnvironment.h"

#include "app/Main.h"

#include <QApplication>
#include <QTest>
#include <QTimer>

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = MessageBox::setHandler([this](const MessageBox::Request &request) {
        m_requests.append(request);
        if (m_answers.empty())
            return request.defaultButton;
        const MessageBox::Button answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    MessageBox::setHandler(std::move(m_previous));
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList result;
    for (const MessageBox::Request &request : m_requests)
        result.append(request.text);
    return result;
}

void whenModalOpens(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action]() mutable {
        if (QWidget *modal = QApplication::activeModalWidget())
            action(modal);
        else
            whenModalOpens(std::move(action));
    });
}

std::unique_ptr<TMainForm> startMainForm(const QSize &size)
{
    auto form = std::make_unique<TMainForm>();
    if (!form->notesLoaded())
        return nullptr;
    form->createDialogs();
    if (size.isValid())
        form->resize(size);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}
