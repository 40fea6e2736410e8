#pragma once

#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/KelvrinTools.h"
#include "plugin/frmConvert.h"

#include <QPointer>
#include <QWidget>
#include <array>

class FunnelItemPanel;
class Messages;
class QLabel;
class QPushButton;
class Shell;

// The main window: the funnel diagram, its five item panels and the window's own commands.
class frmFunnels final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmFunnels)

public:
    frmFunnels(QString applicationFolder, Messages& messages, Shell& shell, QWidget* parent = nullptr);

    static QString Caption();

    FunnelModel& model() { return m_model; }
    const ProductCatalogue& catalogue() const { return m_catalogue; }
    FunnelItemPanel* panel(int slot) const { return m_panels.at(size_t(slot)); }
    QLabel* imgFunnel(int connector) const { return m_connectors.at(size_t(connector)); }
    frmConvert* convertWindow() const { return m_convert; }

    QLabel* lblAppName = nullptr;
    QLabel* lblMyProducts = nullptr;
    QPushButton* cmdCreate = nullptr;
    QPushButton* cmdOutput = nullptr;
    QPushButton* Command1 = nullptr;

private slots:
    void Form_Load();
    void Command1_Click();
    void cmdOutput_Click();
    void cmdCreate_Click();
    void lblMyProducts_Click();
    void cboProduct_Click(int Index, const QString& product);
    void lblPreview_Click(int Index);
    void cmdAddUpsell_Click(int Index);
    void cmdAddDownsell_Click(int Index);
    void lblRemoveDownsell_Click(int Index);

private:
    void FillProductLists();
    void SelectProduct(int Index);
    void ShowModel();

    QString m_applicationFolder;
    Messages& m_messages;
    Shell& m_shell;
    KelvrinTools m_tools;
    ProductCatalogue m_catalogue;
    FunnelModel m_model;
    std::array<FunnelItemPanel*, FunnelModel::SlotCount> m_panels{};
    std::array<QLabel*, FunnelModel::ConnectorCount> m_connectors{};
    QPointer<frmConvert> m_convert;
};
