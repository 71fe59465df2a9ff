#pragma once

#include <QMainWindow>

class QPlainTextEdit;

class NotesWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit NotesWindow(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPlainTextEdit *m_editor;
};
