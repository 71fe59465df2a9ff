#include <QApplication>
#include <QPushButton>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QPushButton button(QStringLiteral("Hello, Palvex OS 3!"));
    QObject::connect(&button, &QPushButton::clicked, &app, &QApplication::quit);
    button.resize(320, 120);
    button.show();
    return app.exec();
}
