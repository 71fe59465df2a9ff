// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "welcomepage.h"

#include "exampledelegate.h"
#include "examplesmodel.h"

#include <coreplugin/helpmanager.h>
#include <utils/fancylineedit.h>

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLoggingCategory>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace Brindle::Host {

Q_LOGGING_CATEGORY(welcomeLog, "brindle.host.welcome", QtWarningMsg)

namespace {

const int DETAILS_WIDTH = 300;

QLabel *wrappingLabel(QWidget *parent)
{
    auto label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

WelcomePage::WelcomePage(Utils::QtcSettings *settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_model(new ExamplesModel(this))
    , m_filterModel(new ExamplesFilterModel(this))
{
    setObjectName("WelcomePage");
    m_filterModel->setSourceModel(m_model);

    auto heading = new QLabel(tr("Examples"), this);
    QFont headingFont = heading->font();
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.6);
    headingFont.setBold(true);
    heading->setFont(headingFont);

    m_setComboBox = new QComboBox(this);
    m_setComboBox->setObjectName("exampleSetComboBox");
    m_setComboBox->setMinimumContentsLength(24);
    m_setComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_filterLineEdit = new Utils::FancyLineEdit(this);
    m_filterLineEdit->setObjectName("filterLineEdit");
    m_filterLineEdit->setFiltering(true);
    m_filterLineEdit->setPlaceholderText(tr("Search in Examples..."));

    auto top = new QHBoxLayout;
    top->addWidget(heading);
    top->addSpacing(24);
    top->addWidget(new QLabel(tr("Example set:"), this));
    top->addWidget(m_setComboBox);
    top->addStretch(1);
    top->addWidget(m_filterLineEdit, 1);

    m_view = new QListView(this);
    m_view->setObjectName("examplesView");
    m_view->setViewMode(QListView::IconMode);
    m_view->setResizeMode(QListView::Adjust);
    m_view->setMovement(QListView::Static);
    m_view->setUniformItemSizes(true);
    m_view->setWrapping(true);
    m_view->setGridSize(ExampleDelegate::tileSize());
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setMouseTracking(true);
    m_view->setFrameShape(QFrame::NoFrame);
    m_view->setItemDelegate(new ExampleDelegate(m_view));
    m_view->setModel(m_filterModel);

    m_emptyLabel = new QLabel(this);
    m_emptyLabel->setObjectName("emptyLabel");
    m_emptyLabel->setAlignment(Qt::AlignCenter);
    m_emptyLabel->setWordWrap(true);

    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_view);
    m_stack->addWidget(m_emptyLabel);

    m_details = new QWidget(this);
    m_details->setObjectName("detailsPane");
    m_details->setFixedWidth(DETAILS_WIDTH);
    m_detailsImage = new QLabel(m_details);
    m_detailsImage->setAlignment(Qt::AlignCenter);
    m_detailsTitle = wrappingLabel(m_details);
    m_detailsTitle->setObjectName("detailsTitle");
    QFont titleFont = m_detailsTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    m_detailsTitle->setFont(titleFont);
    m_detailsDescription = wrappingLabel(m_details);
    m_detailsDescription->setObjectName("detailsDescription");
    m_detailsTags = wrappingLabel(m_details);
    m_detailsTags->setObjectName("detailsTags");
    m_detailsProject = wrappingLabel(m_details);
    m_detailsProject->setObjectName("detailsProject");
    m_openButton = new QPushButton(tr("Open Project"), m_details);
    m_openButton->setObjectName("openButton");
    m_detailsHint = wrappingLabel(m_details);
    m_detailsHint->setText(tr("Select an example to see its details. Double-click it to open "
                              "its project."));

    auto detailsLayout = new QVBoxLayout(m_details);
    detailsLayout->setContentsMargins(12, 0, 0, 0);
    detailsLayout->addWidget(m_detailsImage);
    detailsLayout->addWidget(m_detailsTitle);
    detailsLayout->addWidget(m_detailsDescription);
    detailsLayout->addWidget(m_detailsTags);
    detailsLayout->addWidget(m_detailsProject);
    detailsLayout->addWidget(m_openButton, 0, Qt::AlignLeft);
    detailsLayout->addWidget(m_detailsHint);
    detailsLayout->addStretch(1);

    auto body = new QHBoxLayout;
    body->addWidget(m_stack, 1);
    body->addWidget(m_details);

    auto layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(body, 1);

    connect(m_setComboBox, &QComboBox::currentIndexChanged, this, &WelcomePage::reloadExamples);
    connect(m_filterLineEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_filterModel->setFilterText(text);
        updateEmptyState();
    });
    connect(m_view->selectionModel(),
            &QItemSelectionModel::currentChanged,
            this,
            &WelcomePage::showDetails);
    connect(m_view, &QAbstractItemView::activated, this, [this](const QModelIndex &index) {
        openExample(index.data(ExamplesModel::ExampleRole).value<ExampleItem>());
    });
    connect(m_openButton, &QPushButton::clicked, this, [this] {
        const QModelIndex index = m_view->currentIndex();
        if (index.isValid())
            openExample(index.data(ExamplesModel::ExampleRole).value<ExampleItem>());
    });

    connect(Core::HelpManager::Signals::instance(),
            &Core::HelpManager::Signals::documentationChanged,
            this,
            &WelcomePage::reloadExamplesInBackground);
    updateEmptyState();
}

WelcomePage::~WelcomePage() = default;

QString WelcomePage::currentSetName() const
{
    const int index = m_setComboBox->currentIndex();
    return index >= 0 && index < m_sets.size() ? m_sets.at(index).displayName : QString();
}

bool WelcomePage::setCurrentSet(const QString &displayName)
{
    for (int i = 0; i < m_sets.size(); ++i) {
        if (m_sets.at(i).displayName == displayName) {
            m_setComboBox->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

QList<ExampleItem> WelcomePage::examples() const
{
    return m_model->examples();
}

QList<ExampleItem> WelcomePage::visibleExamples() const
{
    QList<ExampleItem> result;
    for (int row = 0; row < m_filterModel->rowCount(); ++row) {
        result.append(
            m_filterModel->index(row, 0).data(ExamplesModel::ExampleRole).value<ExampleItem>());
    }
    return result;
}

void WelcomePage::setFilterText(const QString &text)
{
    m_filterLineEdit->setText(text);
}

QList<QPair<ExampleSet, QList<ExampleItem>>> WelcomePage::allExamples() const
{
    QList<QPair<ExampleSet, QList<ExampleItem>>> result;
    for (const ExampleSet &set : m_sets)
        result.append({set, readExamples(set)});
    return result;
}

void WelcomePage::openExample(const ExampleItem &example)
{
    if (example.projectPath.isEmpty())
        return;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(example.projectPath)))
        qCWarning(welcomeLog) << "Cannot open" << example.projectPath;
}

void WelcomePage::readExampleSets()
{
    if (m_setsRead)
        return;
    m_setsRead = true;
    m_sets = Host::readExampleSets(m_settings);

    {
        const QSignalBlocker blocker(m_setComboBox);
        m_setComboBox->clear();
        for (int i = 0; i < m_sets.size(); ++i) {
            const ExampleSet &set = m_sets.at(i);
            m_setComboBox->addItem(set.displayName);
            m_setComboBox->setItemData(
                i, QDir::toNativeSeparators(set.manifestPath), Qt::ToolTipRole);
        }
        m_setComboBox->setCurrentIndex(m_sets.isEmpty() ? -1 : 0);
    }
    m_setComboBox->setEnabled(m_sets.size() > 1);
    reloadExamples();
}

void WelcomePage::reloadExamples()
{
    ++m_reloads;
    const int index = m_setComboBox->currentIndex();
    QList<ExampleItem> items;
    QStringList errors;
    if (index >= 0 && index < m_sets.size())
        items = readExamples(m_sets.at(index), &errors);
    showExamples(items, errors);
}

void WelcomePage::reloadExamplesInBackground()
{
    const int index = m_setComboBox->currentIndex();
    if (index < 0 || index >= m_sets.size()) {
        reloadExamples();
        return;
    }
    using Result = QPair<QList<ExampleItem>, QStringList>;
    const quint64 reload = ++m_reloads;
    auto promise = std::make_shared<QPromise<Result>>();
    auto watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, reload] {
        watcher->deleteLater();
        if (reload == m_reloads)
            showExamples(watcher->result().first, watcher->result().second);
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, set = m_sets.at(index)] {
        QStringList errors;
        const QList<ExampleItem> items = readExamples(set, &errors);
        promise->addResult(Result(items, errors));
        promise->finish();
    });
}

void WelcomePage::showExamples(const QList<ExampleItem> &items, const QStringList &errors)
{
    for (const QString &error : errors)
        qCWarning(welcomeLog).noquote() << error;
    const QString selected = m_view->currentIndex().data(ExamplesModel::ProjectPathRole).toString();
    m_model->setExamples(items);
    QModelIndex current = m_filterModel->index(0, 0);
    for (int row = 0; row < m_filterModel->rowCount(); ++row) {
        const QModelIndex candidate = m_filterModel->index(row, 0);
        if (candidate.data(ExamplesModel::ProjectPathRole).toString() == selected) {
            current = candidate;
            break;
        }
    }
    m_view->setCurrentIndex(current);
    showDetails(m_view->currentIndex());
    updateEmptyState();
    emit examplesReloaded();
}

void WelcomePage::showDetails(const QModelIndex &index)
{
    const bool valid = index.isValid();
    m_detailsImage->setVisible(valid);
    m_detailsTitle->setVisible(valid);
    m_detailsDescription->setVisible(valid);
    m_detailsTags->setVisible(valid);
    m_detailsProject->setVisible(valid);
    m_openButton->setVisible(valid);
    m_detailsHint->setVisible(!valid);
    if (!valid)
        return;

    const auto example = index.data(ExamplesModel::ExampleRole).value<ExampleItem>();
    const QPixmap image = index.data(ExamplesModel::ImageRole).value<QPixmap>();
    m_detailsImage->setPixmap(image.width() > DETAILS_WIDTH - 12 ? image.scaledToWidth(
                                  DETAILS_WIDTH - 12, Qt::SmoothTransformation)
                                                                 : image);
    m_detailsImage->setVisible(!image.isNull());
    m_detailsTitle->setText(example.name);
    m_detailsDescription->setText(example.description);
    m_detailsDescription->setVisible(!example.description.isEmpty());
    m_detailsTags->setText(tr("Tags: %1").arg(example.tags.join(QLatin1String(", "))));
    m_detailsTags->setVisible(!example.tags.isEmpty());
    m_detailsProject->setText(tr("Project: %1").arg(QDir::toNativeSeparators(example.projectPath)));
}

void WelcomePage::updateEmptyState()
{
    if (m_filterModel->rowCount() > 0) {
        m_stack->setCurrentWidget(m_view);
        return;
    }
    if (m_sets.isEmpty()) {
        m_emptyLabel->setText(tr("No example sets are installed.\n\nAdd an example repository "
                                 "and let it download, or start with "
                                 "--add-repository NAME=URL."));
    } else if (m_model->rowCount() == 0) {
        m_emptyLabel->setText(tr("No examples in \"%1\" yet.").arg(currentSetName()));
    } else {
        m_emptyLabel->setText(tr("No example matches the filter."));
    }
    m_stack->setCurrentWidget(m_emptyLabel);
}

} // namespace Brindle::Host
