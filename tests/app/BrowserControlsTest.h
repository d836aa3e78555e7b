#pragma once

// The browser with fourteen projects and an archived chat, for the tests of what its
// controls and cards do.
#include "BrowserWorld.h"

#include "app/cards/ProjectCardGrid.h"
#include "app/cards/ProjectCardView.h"
#include "widgets/SegmentedControl.h"
#include "app/tags/TagRenameDialog.h"
#include "app/window/TolvaranViewController.h"
#include "support/QtPrinters.h"
#include "support/WaitUntil.h"
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tolvaran::fixtures {

class BrowserControlsTest : public ::testing::Test
{
protected:
    // Fourteen projects: alpha (pinned), beta (processing), gamma (one unread chat) and eleven
    // more, and "attic", whose only chat is archived.
    void SetUp() override
    {
        alpha = world.addProject(QStringLiteral("alpha"), 2);
        beta = world.addProject(QStringLiteral("beta"), 1, betaProcesses);
        gamma = world.addProject(QStringLiteral("gamma"), 3);
        for (int i = 0; i < 11; ++i)
            world.addProject(QStringLiteral("p%1").arg(i, 2, 10, QLatin1Char('0')), 1);
        FakeCodexThread archived;
        archived.id = QStringLiteral("attic-0");
        archived.cwd = world.home.filePath(QStringLiteral("projects/attic"));
        archived.title = QStringLiteral("Old chat");
        archived.createdAt = Timestamp::now().addingSeconds(-90000);
        archived.updatedAt = archived.createdAt;
        archived.archived = true;
        world.codex.addThread(archived);
        world.codex.writeGlobalState(FakeCodexHome::globalStateObject(
            {alpha}, {QStringLiteral("gamma-1")}, {}));
    }

    TolvaranViewController &makeBrowser(int width = 1200, bool sidebarVisible = true)
    {
        world.makeModel(sidebarVisible);
        EXPECT_TRUE(world.refresh());
        browser = std::make_unique<TolvaranViewController>(
            *world.model, world.team, world.folderPicker, [this](const QString &id) {
                openedProjects.append(id);
            });
        QObject::connect(browser.get(), &TolvaranViewController::rendered,
                         [this] { ++renders; });
        browser->resize(width, 800);
        browser->show();
        EXPECT_TRUE(settled());
        return *browser;
    }

    // Waits for the render that follows the changes made so far.
    bool settled()
    {
        const int before = renders;
        browser->scheduleRender();
        return waitUntil([this, before] { return renders > before; });
    }

    template <typename T = QWidget>
    T *control(const char *name) const
    {
        auto *widget = browser->findChild<T *>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QStringList filteredNames() const
    {
        QStringList names;
        for (const ProjectCardSnapshot &project : world.model->filteredProjects())
            names.append(project.name);
        return names;
    }

    QStringList pagedNames() const
    {
        QStringList names;
        for (const ProjectCardSnapshot &project : world.model->pagedProjects())
            names.append(project.name);
        return names;
    }

    QList<QWidget *> sidebarRows() const
    {
        // In the order they were made, which is their order on screen.
        return browser->findChildren<QWidget *>(QStringLiteral("sidebarRow"));
    }

    static QToolButton *rowButton(QWidget *row)
    {
        return row->findChild<QToolButton *>(QStringLiteral("sidebarRowButton"));
    }

    QStringList sidebarTitles() const
    {
        QStringList titles;
        for (QWidget *row : sidebarRows())
            titles.append(rowButton(row)->accessibleName());
        return titles;
    }

    void addTagThroughTheSidebar(const QString &name)
    {
        control<QLineEdit>("newTagField")->setText(name);
        control<QToolButton>("addTagButton")->click();
    }

    QUuid tagID(const QString &name) const
    {
        for (const ProjectTag &tag : world.model->tags()) {
            if (tag.name == name)
                return tag.id;
        }
        return {};
    }

    // Triggers the item of the tag actions menu of the sidebar row titled `tagName`.
    void chooseTagAction(const QString &tagName, const QString &item)
    {
        for (QWidget *row : sidebarRows()) {
            if (rowButton(row)->accessibleName() != tagName)
                continue;
            row->findChild<QToolButton *>(QStringLiteral("tagActionsButton"))->click();
            auto *menu = browser->findChild<QMenu *>(QStringLiteral("tagActionsMenu"));
            ASSERT_NE(menu, nullptr);
            for (QAction *action : menu->actions()) {
                if (action->text() == item)
                    action->trigger();
            }
            menu->close();
            menu->deleteLater();
            return;
        }
        FAIL() << "no row " << tagName.toStdString();
    }

    TeamCommitEvent commit(const QString &member, qint64 receivedAt) const
    {
        TeamCommitEvent event;
        event.id = member;
        event.memberName = member;
        event.repositoryName = QStringLiteral("alpha");
        event.subject = QStringLiteral("Work of ") + member;
        event.headSha = QStringLiteral("0123456789abcdef");
        event.serverReceivedAt = receivedAt;
        return event;
    }

    BrowserWorld world;
    std::unique_ptr<TolvaranViewController> browser;
    int renders = 0;
    QStringList openedProjects;
    QString alpha, beta, gamma;
    bool betaProcesses = true; // set before SetUp()
};

} // namespace tolvaran::fixtures
