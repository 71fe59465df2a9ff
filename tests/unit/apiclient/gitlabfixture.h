// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "gitlabserver.h"

#include <coreplugin/progressmanager/futureprogress.h>
#include <coreplugin/progressmanager/progressmanager.h>

#include <QBuffer>
#include <QImage>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStringList>

namespace Brindle::Test {

inline QByteArray pngBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline GitLab::Project project(const QString &path, const QSize &avatarSize = {})
{
    GitLab::Project project;
    project.path = path;
    project.name = "Example " + path;
    project.description = "Shows " + path;
    project.lastActivity = QDateTime(QDate(2025, 3, 1), QTime(12, 0), Qt::UTC);
    project.files = {{"CMakeLists.txt", "project(" + path.toUtf8() + " LANGUAGES CXX)\n"},
                     {"main.cpp", "int main() { return 0; }\n"}};
    if (avatarSize.isValid()) {
        project.avatar = pngBytes(avatarSize.width(), avatarSize.height());
        project.avatarFileName = "logo.png";
    }
    return project;
}

inline GitLab::Fault answer(int status, const QByteArray &body = {}, int times = -1)
{
    GitLab::Fault fault;
    fault.kind = GitLab::Fault::Status;
    fault.status = status;
    fault.body = body;
    fault.headers = {{"Content-Type", "application/json"}};
    fault.times = times;
    return fault;
}

inline GitLab::Fault silence()
{
    GitLab::Fault fault;
    fault.kind = GitLab::Fault::NeverAnswer;
    return fault;
}

inline QString archivePath(qint64 projectId)
{
    return QString("^/api/v4/projects/%1/repository/archive").arg(projectId);
}

inline int countRequests(const GitLab::Server &server, const QString &pattern)
{
    const QRegularExpression expression(pattern);
    int count = 0;
    for (const GitLab::RecordedRequest &request : server.requests())
        count += expression.match(request.path).hasMatch() ? 1 : 0;
    return count;
}

// Collects the plugin's debug lines while alive.
class LogCapture final
{
public:
    LogCapture()
    {
        lines().clear();
        QLoggingCategory::setFilterRules("oskel.brindle.plugin*.debug=true");
        previous() = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &context, const QString &message) {
                if (QByteArrayView(context.category).startsWith("oskel.brindle.plugin"))
                    lines().append(message);
                else if (previous())
                    previous()(type, context, message);
            });
    }
    ~LogCapture()
    {
        qInstallMessageHandler(previous());
        QLoggingCategory::setFilterRules({});
    }

    static bool contains(const QString &text) { return !lines().filter(text).isEmpty(); }

private:
    static QStringList &lines()
    {
        static QStringList all;
        return all;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
};

} // namespace Brindle::Test
