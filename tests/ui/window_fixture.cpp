// SPDX-License-Identifier: GPL-3.0-or-later
#include "window_fixture.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>

namespace zr::test {

LaterClick::LaterClick(QWidget* widget)
    : m_widget(widget),
      m_at(QRectF(widget->rect()).center()),
      m_global(widget->mapToGlobal(m_at)) {}

void LaterClick::post() const {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            m_widget,
            new QMouseEvent(type, m_at, m_global, Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                            Qt::NoModifier));
}

void onLeavingFolder(FaultyFileSystem& fs, std::function<void()> hook) {
    // The walk goes back up with a change to "..", on its own thread.
    fs.onCall(FaultyFileSystem::Op::ChangeDirectory, [hook](const std::string& path) {
        if (path.ends_with("/.."))
            hook();
    });
}

bool FakeDialogs::askYesNo(QWidget*, const QString& question) {
    log << "ask " + question;
    if (answers.empty())
        return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeDialogs::showMessage(QWidget*, MessageType type, const QString& text) {
    const char* title = type == MessageType::Warning ? "Warning"
                        : type == MessageType::Error ? "Error"
                                                     : "Information";
    log << QString::fromLatin1(title) + " " + text;
}

void FakeDialogs::showError(QWidget*, const QString& text) {
    log << "error " + text;
}

std::optional<QString> FakeDialogs::chooseDirectory(QWidget*, const QString& title,
                                                    const QString&) {
    log << "browse " + title;
    return chosenDirectory;
}

std::optional<QString> FakeDialogs::chooseFile(QWidget*, const FileDialogRequest& request) {
    log << QString::fromLatin1(request.save ? "save " : "open ") + request.title;
    lastFileDialog = request;
    return chosenFile;
}

bool FakeDialogs::openUrl(const QUrl& url) {
    log << "open " + url.toString();
    return openSucceeds;
}

WindowFixture::WindowFixture(bool startNow)
    : realFileSystem(makePosixFileSystem()), fileSystem(*realFileSystem) {
    fileSystem.setInitialDirectory(dir.path());
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    // Each window's undo journal too, so that no window adopts another test's.
    setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    storePath = userSettingsStorePath();
    store = std::make_unique<SettingsStore>(fileSystem, storePath);
    if (startNow)
        start();
}

void WindowFixture::start() {
    window = std::make_unique<Tmain>(fileSystem, clock, dialogs, *store);
    // As the program's start-up does.
    if (window->settings().itemIndex() < 0)
        window->settings().setItemIndex(kLowerCase);
    if (startFolder)
        window->setStartFolder(*startFolder);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("the window did not become active");
    // The remembered options come right after the window is shown.
    QCoreApplication::processEvents();
}

bool WindowFixture::restart() {
    if (!window->close())
        return false;
    window.reset();
    start();
    return true;
}

WindowFixture::~WindowFixture() {
    window.reset();
}

int WindowFixture::rowCount() const {
    return find<QTableView>("ListView1")->model()->rowCount();
}

QString WindowFixture::cell(int row, int column) const {
    const QAbstractItemModel* model = find<QTableView>("ListView1")->model();
    return model->data(model->index(row, column)).toString();
}

void click(QAbstractButton* button) {
    const QPoint where = qobject_cast<QCheckBox*>(button) ? QPoint(6, button->height() / 2)
                                                          : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, {}, where);
}

QRect clientRect(const QWidget* widget) {
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

}  // namespace zr::test
