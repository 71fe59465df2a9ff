#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTextStream>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("device-info");
    QCoreApplication::setApplicationVersion("1.2");

    QCommandLineParser parser;
    parser.setApplicationDescription("Shows what this device runs.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption jsonOption("json", "Print JSON instead of text.");
    parser.addOption(jsonOption);
    parser.process(app);

    const QJsonObject info{
        {"product", QSysInfo::prettyProductName()},
        {"kernel", QSysInfo::kernelType() + ' ' + QSysInfo::kernelVersion()},
        {"cpu", QSysInfo::currentCpuArchitecture()},
        {"cores", QThread::idealThreadCount()},
        {"host", QSysInfo::machineHostName()},
    };

    QTextStream out(stdout);
    if (parser.isSet(jsonOption)) {
        out << QJsonDocument(info).toJson();
        return 0;
    }
    for (auto it = info.begin(); it != info.end(); ++it)
        out << it.key().leftJustified(8) << it.value().toVariant().toString() << '\n';
    return 0;
}
