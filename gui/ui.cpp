#include "gui/ui.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace mirn {

namespace ui {
namespace {
MessageHook g_messageHook;
ModalHook g_modalHook;
testing::FolderOpener g_folderOpener;

bool openFolder(const QString& folder) {
    if (g_folderOpener) return g_folderOpener(folder);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

QMessageBox::StandardButton message(const QString& text, const QString& caption, Icon icon,
                                    Buttons buttons, const QString& details) {
    const Message m{text, caption, icon, buttons, details, {}};
    if (icon == Icon::Error)
        qWarning().noquote() << "error box:" << caption << "|" << text << (details.isEmpty() ? "" : "|")
                             << details;
    if (g_messageHook) return g_messageHook(m);
    QMessageBox box(toQt(icon), caption, text,
                    buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                              : QMessageBox::Ok,
                    QApplication::activeWindow());
    QPushButton* folder = nullptr;
    if (buttons == Buttons::OkOpenFolder) {
        folder = box.addButton(QStringLiteral("Открыть папку"), QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        // The path can be copied from the box.
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    // Questions before a delete: Enter (and Esc) answer "Нет"; only a deliberate "Да" goes on.
    if (buttons == Buttons::YesNo) box.setDefaultButton(QMessageBox::No);
    if (!details.isEmpty()) box.setDetailedText(details);
    // An hourglass left by the caller must not hide the arrow over the box.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    auto r = static_cast<QMessageBox::StandardButton>(box.exec());
    QGuiApplication::restoreOverrideCursor();
    if (folder && box.clickedButton() == folder) r = QMessageBox::Open;
    return r;
}

void error(const QString& text, const QString& caption, const QString& details) {
    message(text, caption, Icon::Error, Buttons::Ok, details);
}

QString writtenText(const QString& what, const QString& path) {
    return what + QStringLiteral(" в файл\n") + QDir::toNativeSeparators(path);
}

void fileWritten(const QString& text, const QString& caption, const QString& path) {
    Message m{text, caption, Icon::Information, Buttons::OkOpenFolder, {}, path};
    const QMessageBox::StandardButton answer =
        g_messageHook ? g_messageHook(m) : message(text, caption, Icon::Information, Buttons::OkOpenFolder);
    if (answer != QMessageBox::Open) return;
    const QString folder = QFileInfo(path).absolutePath();
    if (!openFolder(folder))
        error(QStringLiteral("Не удалось открыть папку %1").arg(QDir::toNativeSeparators(folder)));
}

void workbookWritten(const QString& path, bool opened) {
    QString text = writtenText(QStringLiteral("Книга сохранена"), path);
    if (!opened)
        text += QStringLiteral("\n\nОткрыть её не удалось: не найдена программа для работы с электронными таблицами.");
    fileWritten(text, QStringLiteral("Книга сохранена"), path);
}

bool confirmDelete(const QString& text) {
    return message(text, QStringLiteral("Удаление"), Icon::Question, Buttons::YesNo) ==
           QMessageBox::Yes;
}

int execModal(QDialog* dlg) {
    if (g_modalHook) return g_modalHook(dlg);
    return dlg->exec();
}

void showException(const QString& text) {
    message(text.isEmpty() ? QStringLiteral("Действие не выполнено: непредвиденная ошибка.") : text,
            QStringLiteral("Ошибка"), Icon::Error, Buttons::Ok);
}

void showDbError(const DbError& e) {
    QString details = e.serverText();
    if (!e.statement().isEmpty()) details += QStringLiteral("\n\n") + e.statement();
    message(e.userText(), QStringLiteral("Ошибка"), Icon::Error, Buttons::Ok, details);
}

void editorLayout(QDialog* dlg, QWidget* body, QPushButton*& save, const QString& saveCaption,
                  QPushButton*& close, const QString& closeCaption) {
    save = new QPushButton(saveCaption, dlg);
    save->setDefault(true);
    close = new QPushButton(closeCaption, dlg);
    close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto* lay = new QVBoxLayout(dlg);
    lay->addWidget(body);
    lay->addLayout(buttons);
}

BusyCursor::BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
BusyCursor::~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }

namespace testing {
void setMessageHook(MessageHook hook) { g_messageHook = std::move(hook); }
void setFolderOpener(FolderOpener opener) { g_folderOpener = std::move(opener); }
void setModalHook(ModalHook hook) { g_modalHook = std::move(hook); }
}  // namespace testing

}  // namespace ui

}  // namespace mirn
