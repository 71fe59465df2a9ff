// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "groupsearch.h"

#include <QRegularExpression>
#include <QSet>

namespace GitLab::Internal {

namespace {

constexpr int MinimumTermLength = 3;

QSet<QString> trigrams(const QString &text)
{
    QSet<QString> result;
    static const QRegularExpression word("[[:alnum:]]+");
    for (const QRegularExpressionMatch &m : word.globalMatch(text.toLower())) {
        const QString padded = "  " + m.captured(0) + ' ';
        for (qsizetype i = 0; i + 3 <= padded.size(); ++i)
            result.insert(padded.mid(i, 3));
    }
    return result;
}

} // namespace

QStringList searchTerms(const QString &query)
{
    static const QRegularExpression quoted(R"re((?<=^| )"[^"]+"(?= |$))re");
    QString rest = query;
    QStringList quotedTerms;
    for (const QRegularExpressionMatch &m : quoted.globalMatch(query)) {
        const QString term = m.captured(0);
        rest.replace(rest.indexOf(term), term.size(), QString());
        quotedTerms.append(term.mid(1, term.size() - 2));
    }
    QStringList terms = rest.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    terms += quotedTerms;
    terms.removeIf([](const QString &t) { return t.size() < MinimumTermLength; });
    return terms;
}

bool searchMatches(const QString &column, const QString &query)
{
    const QStringList terms = searchTerms(query);
    if (terms.isEmpty())
        return column.compare(query, Qt::CaseInsensitive) == 0;
    for (const QString &term : terms) {
        if (!column.contains(term, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

double trigramSimilarity(const QString &a, const QString &b)
{
    const QSet<QString> ta = trigrams(a);
    const QSet<QString> tb = trigrams(b);
    if (ta.isEmpty() || tb.isEmpty())
        return 0.0;
    const qsizetype common = QSet<QString>(ta).intersect(tb).size();
    return double(common) / double(ta.size() + tb.size() - common);
}

} // namespace GitLab::Internal
