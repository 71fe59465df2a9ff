// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "httptestclient.h"

#include <gitlabserver.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

using namespace TestClient;

class tst_GitLabSearch final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void searchFollowsGitLabTermRules_data();
    void searchFollowsGitLabTermRules();
    void topLevelOnlyLeavesOutSubgroups();
    void orderAndSortParametersReorder_data();
    void orderAndSortParametersReorder();
    void similarityRanksTheClosestPathFirst();
    void invalidParametersAnswer400_data();
    void invalidParametersAnswer400();

    void paginationHeadersDescribeThePage_data();
    void paginationHeadersDescribeThePage();
    void paginationLinksAreAbsoluteAndKeepTheQuery();
    void emptyResultIsOnePage();

private:
    QStringList fullPaths(const Reply &reply) const;
    QUrl groupsUrl(const QString &query) const;

    GitLab::Server m_server;
    GitLab::Server m_manyGroups;
    QNetworkAccessManager m_manager;
};

void tst_GitLabSearch::initTestCase()
{
    QVERIFY(m_server.listen());
    m_server.addGroup("palvexos", "Palvex OS");
    m_server.addGroup("palvexos/examples", "Examples");
    m_server.addGroup("palvexos/examples/legacy", "Archived Examples");
    m_server.addGroup("palvexos/examples/legacy/deep", "Deep Cuts");
    m_server.addGroup("palvexos/examples-old", "Examples Old");
    m_server.addGroup("xpalvexos", "X Palvex");
    m_server.addGroup("xpalvexos/examplesz", "Examples Z");
    m_server.addGroup("fans", "Palvex Examples Fans");
    m_server.addGroup("palvexos/secret", "Secret", false);
    m_server.addGroup("palvexos/secret/inner", "Inner");
    m_server.addGroup("ab", "ab");
    m_server.addGroup("other", "Other Things");
    m_server.addGroup("other/examples", "Examples");

    QVERIFY(m_manyGroups.listen());
    for (int i = 1; i <= 45; ++i)
        m_manyGroups.addGroup(QString("group-%1").arg(i, 2, 10, QChar('0')));
}

QUrl tst_GitLabSearch::groupsUrl(const QString &query) const
{
    QUrl url = m_server.baseUrl();
    url.setPath("/api/v4/groups");
    url.setQuery(query);
    return url;
}

QStringList tst_GitLabSearch::fullPaths(const Reply &reply) const
{
    QStringList paths;
    for (const QJsonValue &group : reply.json().array())
        paths.append(group["full_path"].toString());
    return paths;
}

void tst_GitLabSearch::searchFollowsGitLabTermRules_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QStringList>("expected");

    const QStringList examplesFamily{"palvexos/examples/legacy",
                                     "palvexos/examples/legacy/deep",
                                     "palvexos/examples",
                                     "palvexos/examples-old",
                                     "xpalvexos/examplesz"};
    QTest::newRow("quoted full path brings descendants and look-alikes, by short name")
        << "\"palvexos/examples\"" << examplesFamily;
    QTest::newRow("unquoted full path is the same single term")
        << "palvexos/examples" << examplesFamily;
    QTest::newRow("case does not matter")
        << "PALVEXOS/Examples/LEGACY"
        << QStringList{"palvexos/examples/legacy", "palvexos/examples/legacy/deep"};
    QTest::newRow("full name matches too; equal names fall back to id")
        << "Examples"
        << QStringList{"palvexos/examples/legacy",
                       "palvexos/examples/legacy/deep",
                       "palvexos/examples",
                       "other/examples",
                       "palvexos/examples-old",
                       "xpalvexos/examplesz",
                       "fans"};
    QTest::newRow("all terms in the same column") << "palvex fans" << QStringList{"fans"};
    QTest::newRow("terms split across path and name match nothing")
        << "legacy archived" << QStringList{};
    QTest::newRow("quoted phrase is one term") << "\"palvex fans\"" << QStringList{};
    QTest::newRow("short terms are ignored")
        << "on deep" << QStringList{"palvexos/examples/legacy/deep"};
    QTest::newRow("only short terms: whole query must equal the column")
        << "ab" << QStringList{"ab"};
    QTest::newRow("only short terms: quotes stay part of the query") << "\"ab\"" << QStringList{};
    QTest::newRow("private groups are hidden") << "secret" << QStringList{};
    QTest::newRow("children of private groups are hidden") << "inner" << QStringList{};
    QTest::newRow("no match") << "nothing-like-this" << QStringList{};
}

void tst_GitLabSearch::searchFollowsGitLabTermRules()
{
    QFETCH(QString, search);
    QFETCH(QStringList, expected);

    QUrlQuery query;
    query.addQueryItem("search", QString::fromLatin1(QUrl::toPercentEncoding(search)));
    const Reply reply = get(m_manager, groupsUrl(query.toString(QUrl::FullyEncoded)));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.header("Content-Type"), "application/json");
    QCOMPARE(fullPaths(reply), expected);
    QCOMPARE(reply.header("X-Total").toInt(), expected.size());
}

void tst_GitLabSearch::topLevelOnlyLeavesOutSubgroups()
{
    const Reply reply = get(m_manager, groupsUrl("search=palvex&top_level_only=true"));
    QCOMPARE(reply.status, 200);
    QCOMPARE(fullPaths(reply), (QStringList{"fans", "palvexos", "xpalvexos"}));

    const QJsonObject first = reply.json().array().at(0).toObject();
    QCOMPARE(first["name"].toString(), "Palvex Examples Fans");
    QVERIFY(first["parent_id"].isNull());
    QCOMPARE(first["visibility"].toString(), "public");
    QCOMPARE(first["web_url"].toString(), m_server.baseUrl().toString() + "/groups/fans");

    const Reply all = get(m_manager, groupsUrl("search=legacy"));
    const QJsonObject legacy = all.json().array().at(0).toObject();
    QCOMPARE(legacy["full_name"].toString(), "Palvex OS / Examples / Archived Examples");
    QCOMPARE(legacy["parent_id"].toInteger(), m_server.addGroup("palvexos/examples", "Examples"));
}

void tst_GitLabSearch::orderAndSortParametersReorder_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("name descending") << "search=%22palvexos/examples%22&sort=desc"
                                     << QStringList{"xpalvexos/examplesz",
                                                    "palvexos/examples-old",
                                                    "palvexos/examples",
                                                    "palvexos/examples/legacy/deep",
                                                    "palvexos/examples/legacy"};
    QTest::newRow("by id") << "search=%22palvexos/examples%22&order_by=id"
                           << QStringList{"palvexos/examples",
                                          "palvexos/examples/legacy",
                                          "palvexos/examples/legacy/deep",
                                          "palvexos/examples-old",
                                          "xpalvexos/examplesz"};
    QTest::newRow("by path") << "search=%22palvexos/examples%22&order_by=path"
                             << QStringList{"palvexos/examples/legacy/deep",
                                            "palvexos/examples",
                                            "palvexos/examples-old",
                                            "xpalvexos/examplesz",
                                            "palvexos/examples/legacy"};
}

void tst_GitLabSearch::orderAndSortParametersReorder()
{
    QFETCH(QString, query);
    QFETCH(QStringList, expected);

    const Reply reply = get(m_manager, groupsUrl(query));
    QCOMPARE(reply.status, 200);
    QCOMPARE(fullPaths(reply), expected);
}

void tst_GitLabSearch::similarityRanksTheClosestPathFirst()
{
    const Reply reply = get(m_manager, groupsUrl("search=examples&order_by=similarity"));
    QCOMPARE(reply.status, 200);
    const QStringList paths = fullPaths(reply);
    QCOMPARE(paths.size(), 7);
    // Equal scores keep id order.
    QCOMPARE(paths.mid(0, 2), (QStringList{"palvexos/examples", "other/examples"}));
    QCOMPARE(paths.last(), "palvexos/examples/legacy/deep");
}

void tst_GitLabSearch::invalidParametersAnswer400_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("error");

    QTest::newRow("order_by") << "order_by=stars"
                              << "order_by does not have a valid value";
    QTest::newRow("sort") << "sort=up"
                          << "sort does not have a valid value";
    QTest::newRow("page") << "page=two"
                          << "page is invalid";
    QTest::newRow("per_page") << "per_page=1e3"
                              << "per_page is invalid";
    QTest::newRow("boolean") << "top_level_only=maybe"
                             << "top_level_only is invalid";
    QTest::newRow("several") << "sort=up&page=x"
                             << "sort does not have a valid value, page is invalid";
}

void tst_GitLabSearch::invalidParametersAnswer400()
{
    QFETCH(QString, query);
    QFETCH(QString, error);

    const Reply reply = get(m_manager, groupsUrl(query));
    QCOMPARE(reply.status, 400);
    QCOMPARE(reply.header("Content-Type"), "application/json");
    QCOMPARE(reply.json().object(), (QJsonObject{{"error", error}}));
}

void tst_GitLabSearch::paginationHeadersDescribeThePage_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("perPage");
    QTest::addColumn<QString>("next");
    QTest::addColumn<QString>("prev");
    QTest::addColumn<QString>("totalPages");
    QTest::addColumn<QStringList>("rels");
    QTest::addColumn<QString>("firstPath");

    QTest::newRow("defaults") << "" << 20 << "1"
                              << "20"
                              << "2"
                              << ""
                              << "3" << QStringList{"next", "first", "last"} << "group-01";
    QTest::newRow("middle") << "page=2" << 20 << "2"
                            << "20"
                            << "3"
                            << "1"
                            << "3" << QStringList{"prev", "next", "first", "last"} << "group-21";
    QTest::newRow("last") << "page=3" << 5 << "3"
                          << "20"
                          << ""
                          << "2"
                          << "3" << QStringList{"prev", "first", "last"} << "group-41";
    QTest::newRow("past the end") << "page=9" << 0 << "9"
                                  << "20"
                                  << ""
                                  << ""
                                  << "3" << QStringList{"first", "last"} << "";
    QTest::newRow("per_page capped at 100") << "per_page=1000" << 45 << "1"
                                            << "100"
                                            << ""
                                            << ""
                                            << "1" << QStringList{"first", "last"} << "group-01";
    QTest::newRow("small pages") << "per_page=7&page=7" << 3 << "7"
                                 << "7"
                                 << ""
                                 << "6"
                                 << "7" << QStringList{"prev", "first", "last"} << "group-43";
    QTest::newRow("page 0 is page 1") << "page=0&per_page=10" << 10 << "1"
                                      << "10"
                                      << "2"
                                      << ""
                                      << "5" << QStringList{"next", "first", "last"} << "group-01";
}

void tst_GitLabSearch::paginationHeadersDescribeThePage()
{
    QFETCH(QString, query);
    QFETCH(int, count);
    QFETCH(QString, page);
    QFETCH(QString, perPage);
    QFETCH(QString, next);
    QFETCH(QString, prev);
    QFETCH(QString, totalPages);
    QFETCH(QStringList, rels);
    QFETCH(QString, firstPath);

    QUrl url = m_manyGroups.baseUrl();
    url.setPath("/api/v4/groups");
    url.setQuery(query);
    const Reply reply = get(m_manager, url);
    QCOMPARE(reply.status, 200);
    const QJsonArray groups = reply.json().array();
    QCOMPARE(groups.size(), count);
    if (count)
        QCOMPARE(groups.at(0)["full_path"].toString(), firstPath);
    QCOMPARE(reply.header("X-Page"), page.toLatin1());
    QCOMPARE(reply.header("X-Per-Page"), perPage.toLatin1());
    QCOMPARE(reply.header("X-Next-Page"), next.toLatin1());
    QCOMPARE(reply.header("X-Prev-Page"), prev.toLatin1());
    QCOMPARE(reply.header("X-Total"), "45");
    QCOMPARE(reply.header("X-Total-Pages"), totalPages.toLatin1());

    QStringList foundRels;
    static const QRegularExpression link(R"re(<([^>]*)>; rel="(\w+)")re");
    for (const QRegularExpressionMatch &m :
         link.globalMatch(QString::fromLatin1(reply.header("Link"))))
        foundRels.append(m.captured(2));
    QCOMPARE(foundRels, rels);
}

void tst_GitLabSearch::paginationLinksAreAbsoluteAndKeepTheQuery()
{
    QUrl url = m_manyGroups.baseUrl();
    url.setPath("/api/v4/groups");
    url.setQuery("search=group&per_page=10&order_by=path&sort=desc");

    QStringList seen;
    int pages = 0;
    while (url.isValid() && pages < 10) {
        const Reply reply = get(m_manager, url);
        QCOMPARE(reply.status, 200);
        seen += fullPaths(reply);
        ++pages;
        QUrl next;
        static const QRegularExpression link(R"re(<([^>]*)>; rel="(\w+)")re");
        for (const QRegularExpressionMatch &m :
             link.globalMatch(QString::fromLatin1(reply.header("Link")))) {
            const QUrl target(m.captured(1));
            QCOMPARE(target.scheme(), "http");
            QCOMPARE(target.host(), "127.0.0.1");
            QCOMPARE(target.port(), int(m_manyGroups.port()));
            QCOMPARE(target.path(), "/api/v4/groups");
            const QUrlQuery query(target);
            QCOMPARE(query.queryItemValue("search"), "group");
            QCOMPARE(query.queryItemValue("order_by"), "path");
            QCOMPARE(query.queryItemValue("per_page"), "10");
            if (m.captured(2) == "last")
                QCOMPARE(query.queryItemValue("page"), "5");
            if (m.captured(2) == "next")
                next = target;
        }
        url = next;
    }
    QCOMPARE(pages, 5);
    QCOMPARE(seen.size(), 45);
    QCOMPARE(seen.first(), "group-45");
    QCOMPARE(seen.last(), "group-01");
    QCOMPARE(QSet<QString>(seen.cbegin(), seen.cend()).size(), 45);
}

void tst_GitLabSearch::emptyResultIsOnePage()
{
    // QNetworkAccessManager hides empty headers; GitLab sends them, so look at the wire.
    RawConnection connection(m_server.port());
    connection.send(TestClient::get("/api/v4/groups?search=nothing-like-this"));
    const RawResponse raw = connection.readResponse();
    QCOMPARE(raw.status, 200);
    QVERIFY(raw.hasHeader("X-Next-Page"));
    QVERIFY(raw.hasHeader("X-Prev-Page"));
    QCOMPARE(raw.header("X-Next-Page"), "");
    QCOMPARE(raw.header("X-Prev-Page"), "");

    const Reply reply = get(m_manager, groupsUrl("search=nothing-like-this"));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, "[]");
    QCOMPARE(reply.header("X-Total"), "0");
    QCOMPARE(reply.header("X-Total-Pages"), "1");
    QCOMPARE(reply.header("X-Next-Page"), "");
    QCOMPARE(reply.header("X-Prev-Page"), "");
}

QTEST_GUILESS_MAIN(tst_GitLabSearch)

#include "tst_gitlabsearch.moc"
