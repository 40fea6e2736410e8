#pragma once

#include "generate/FunnelTokens.h"
#include "platform/AppRoots.h"
#include "plugin/PluginDetails.h"

#include <QDialog>
#include <functional>

class FunnelModel;
class KelvrinTools;
class QCloseEvent;
class Messages;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class Shell;

// "Create Plugin": the plugin's details, a new identifier on request, and the build. It opens with
// the funnel's details; a funnel without an identifier gets a new one. A dialog that does not
// block the main window: Enter creates the plugin, Esc closes it.
class frmConvert final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmConvert)

public:
    frmConvert(AppRoots roots, const FunnelModel& funnel, const PluginDetails& details, FunnelTokens tokens,
               KelvrinTools& tools, Messages& messages, Shell& shell, QWidget* parent = nullptr);

    PluginDetails Details() const;
    bool IsBuilding() const { return m_building; }
    // After a build (and `built`), keeps the funnel beside the archive: the path of the file it
    // wrote, empty when it could not. "Done" says which.
    void SetFunnelKeeper(std::function<QString(const QString& archive)> keeper) { m_keeper = std::move(keeper); }

    QLineEdit* txtPluginID = nullptr;
    QLineEdit* txtPlugin_Name = nullptr;
    QLineEdit* txtPlugin_Uri = nullptr;
    QPlainTextEdit* txtPlugin_Description = nullptr;
    QLineEdit* txtPlugin_Version = nullptr;
    QLineEdit* txtPlugin_Author = nullptr;
    QLineEdit* txtPlugin_AuthorUrl = nullptr;
    QLineEdit* txtPlugin_License = nullptr;
    QPushButton* cmdGenerateIdentifier = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    // Neither Esc nor the window's close box closes it while a plugin is being built.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

signals:
    // A plugin was built from these details and tokens into `archive`.
    void built(const PluginDetails& details, const FunnelTokens& tokens, const QString& archive);

private slots:
    void cmdGenerateIdentifier_Click();
    void Command1_Click();
    void Command3_Click();

private:
    QWidget* m_contents = nullptr;
    QScrollArea* m_scroll = nullptr;
    void GenerateIdentifier();
    void SetBusy(bool busy);

    AppRoots m_roots;
    const FunnelModel& m_funnel;
    KelvrinTools& m_tools;
    Messages& m_messages;
    Shell& m_shell;
    FunnelTokens m_tokens;
    std::function<QString(const QString&)> m_keeper;
    QString m_previousArchive;
    bool m_building = false;
};
