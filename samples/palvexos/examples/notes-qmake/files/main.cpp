#include "noteswindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("PalvexExamples");
    QApplication::setApplicationName("Notes");

    NotesWindow window;
    window.show();
    return app.exec();
}
