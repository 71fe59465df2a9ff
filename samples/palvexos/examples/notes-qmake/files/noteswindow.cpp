#include "noteswindow.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QSettings>

NotesWindow::NotesWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_editor(new QPlainTextEdit(this))
{
    setWindowTitle(tr("Notes"));
    setCentralWidget(m_editor);
    m_editor->setPlaceholderText(tr("Write something down..."));
    m_editor->setPlainText(QSettings().value("notes/text").toString());
}

void NotesWindow::closeEvent(QCloseEvent *event)
{
    QSettings().setValue("notes/text", m_editor->toPlainText());
    event->accept();
}
