// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplesmodel.h"

#include <QImageReader>

#include <algorithm>

namespace Brindle::Host {

namespace {

const QSize IMAGE_SIZE(240, 150);

} // namespace

ExamplesModel::ExamplesModel(QObject *parent)
    : QAbstractListModel(parent)
{}

void ExamplesModel::setExamples(const QList<ExampleItem> &examples)
{
    beginResetModel();
    m_examples = examples;
    // Images change on disk when an example is reinstalled.
    m_images.clear();
    endResetModel();
}

int ExamplesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_examples.size());
}

QVariant ExamplesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_examples.size())
        return {};
    const ExampleItem &example = m_examples.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return example.name;
    case Qt::ToolTipRole:
        // Descriptions come from the server; escaping keeps markup in them from rendering.
        if (example.description.isEmpty())
            return {};
        return QString(QLatin1String("<p style='white-space:pre-wrap'>")
                       + example.description.toHtmlEscaped() + QLatin1String("</p>"));
    case ExampleRole:
        return QVariant::fromValue(example);
    case TagsRole:
        return example.tags;
    case ProjectPathRole:
        return example.projectPath;
    case ImageRole:
        return image(example);
    default:
        return {};
    }
}

QPixmap ExamplesModel::image(const ExampleItem &example) const
{
    const QString path = imageFilePath(example);
    if (path.isEmpty())
        return {};
    auto it = m_images.constFind(path);
    if (it != m_images.constEnd())
        return *it;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QPixmap pixmap;
    const QImage image = reader.read();
    if (!image.isNull()) {
        pixmap = QPixmap::fromImage(
            image.size().boundedTo(IMAGE_SIZE) == image.size()
                ? image
                : image.scaled(IMAGE_SIZE, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    }
    m_images.insert(path, pixmap);
    return pixmap;
}

ExamplesFilterModel::ExamplesFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{}

void ExamplesFilterModel::setFilterText(const QString &text)
{
    m_words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    invalidateFilter();
}

bool ExamplesFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_words.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const auto example = index.data(ExamplesModel::ExampleRole).value<ExampleItem>();
    for (const QString &word : m_words) {
        const bool found = example.name.contains(word, Qt::CaseInsensitive)
                           || example.description.contains(word, Qt::CaseInsensitive)
                           || std::any_of(example.tags.cbegin(),
                                          example.tags.cend(),
                                          [&word](const QString &tag) {
                                              return tag.contains(word, Qt::CaseInsensitive);
                                          });
        if (!found)
            return false;
    }
    return true;
}

} // namespace Brindle::Host
