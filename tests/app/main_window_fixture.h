#pragma once

#include "app/main_window.h"
#include "defs/definition_tables.h"
#include "recording_message_sink.h"
#include "settings/data_locations.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/in_memory_transport.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

/// A built main window over an in-memory transport, temporary settings and log, and one .com registry; the
/// definition update only counts its runs.
class MainWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_settings = std::make_unique<vesk::TReg>(m_temp.Open(), vesk::TReg::WriteBack::AtExit, vesk::SystemClock());
        m_log = std::make_unique<vesk::TLogFile>(m_dir.path(), QStringLiteral("vesk"));
        m_definitions.SetTldRows({ { "com", "Commercial organisations", "whois.verisign-grs.com" } });
        m_definitions.SetHostMarks({ { "whois.verisign-grs.com", 0, "", "", "No match for", "", "" } });
        m_window = std::make_unique<vesk::TfrmMain>(*m_settings, *m_log, m_definitions, m_transport, m_messages,
                                                    vesk::DataLocations::InOneFolder(m_dir.path()));
        m_window->SetUpdateFunction([this] {
            ++m_updates;
            return vesk::UpdateOutcome { .Succeeded = true };
        });
        m_window->BuildMainWindow();
    }

    template <typename T> T* Find(const char* name) const { return m_window->findChild<T*>(QString::fromLatin1(name)); }
    QPlainTextEdit* Worksheet() const { return Find<QPlainTextEdit>("worksheet"); }
    QString Sheet() const { return Worksheet()->toPlainText(); }
    QLineEdit* QueryBox() const { return Find<QLineEdit>("queryLineEdit"); }
    QString Status() const { return Find<QLabel>("statusLine")->text(); }
    QTimer* StartupTimer() const { return Find<QTimer>("startupTimer"); }
    /// Clicks one of the panel's controls where the user sees it, so a control moved or covered is not clicked.
    void ClickPanelAt(QPoint place)
    {
        QWidget* control = Find<QWidget>("leftPanel")->childAt(place);
        ASSERT_NE(control, nullptr);
        QTest::mouseClick(control, Qt::LeftButton, {}, control->mapFrom(Find<QWidget>("leftPanel"), place));
    }
    void ShowAndActivate(QWidget* widget)
    {
        widget->show();
        widget->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([widget] { return QApplication::activeWindow() == widget; }));
    }

    QTemporaryDir m_dir;
    vesk::test::TempSettings m_temp;
    std::unique_ptr<vesk::TReg> m_settings;
    std::unique_ptr<vesk::TLogFile> m_log;
    vesk::DefinitionTables m_definitions;
    vesk::test::InMemoryTransport m_transport;
    vesk::test::RecordingMessageSink m_messages;
    std::unique_ptr<vesk::TfrmMain> m_window;
    int m_updates = 0;
};
