#pragma once

#include "app/FunnelDocument.h"
#include "catalogue/ProductCatalogue.h"
#include "funnel/FunnelModel.h"
#include "platform/KelvrinTools.h"
#include "plugin/frmConvert.h"

#include <QPointer>
#include <QWidget>
#include <array>
#include <memory>

class ConnectorPicture;
class FunnelItemPanel;
class Messages;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollArea;
class QSettings;
class QUndoStack;
class Shell;
class WidgetZoom;

// The main window: the funnel diagram, its five item panels, the File menu and the window's own
// commands. Settings keep the recent files and the defaults for new funnels; without them
// nothing outlives the run.
class frmFunnels final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmFunnels)

public:
    frmFunnels(AppRoots roots, Messages& messages, Shell& shell, QSettings* settings = nullptr,
               QWidget* parent = nullptr);
    ~frmFunnels() override;

    static QString Caption();

    // Sizes the window to show the whole funnel diagram where the screen allows, else as much as
    // fits with scroll bars, and centres it in `available`.
    void FitInto(const QRect& available);

    // Opens a funnel file after asking to save unsaved changes; false when nothing was opened.
    bool OpenFile(const QString& path);
    // Saves to the given file; false (and a message) when it could not be saved.
    bool SaveFile(const QString& path);

    FunnelDocument& document() { return m_document; }
    FunnelModel& model() { return m_document.model(); }
    const ProductCatalogue& catalogue() const { return m_catalogue; }
    FunnelItemPanel* panel(int slot) const { return m_panels.at(size_t(slot)); }
    ConnectorPicture* imgFunnel(int connector) const { return m_connectors.at(size_t(connector)); }
    frmConvert* convertWindow() const { return m_convert; }

    QLabel* lblAppName = nullptr;
    QPushButton* lblMyProducts = nullptr;
    QPushButton* lblNewProduct = nullptr;
    QScrollArea* scrollArea = nullptr;
    QWidget* cmdBar = nullptr;
    QPushButton* cmdCreate = nullptr;
    QPushButton* cmdOutput = nullptr;
    QPushButton* Command1 = nullptr;
    QMenuBar* menuBar = nullptr;
    QMenu* mnuFile = nullptr;
    QMenu* mnuRecent = nullptr;
    QAction* mnuNew = nullptr;
    QAction* mnuOpen = nullptr;
    QAction* mnuSave = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuQuit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuUndo = nullptr;
    QAction* mnuRedo = nullptr;
    // Keys for the panels' repeated controls: a go-to entry per item, and the commands of the
    // item that holds (or last held) the focus.
    QMenu* mnuFunnel = nullptr;
    std::array<QAction*, FunnelModel::SlotCount> mnuGoTo{};
    QAction* mnuAddUpsell = nullptr;
    QAction* mnuAddDownsell = nullptr;
    QAction* mnuPreview = nullptr;
    QAction* mnuRemove = nullptr;
    QAction* mnuNewProduct = nullptr;
    QAction* mnuEditProduct = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpMyProducts = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void Form_Load();
    void Command1_Click();
    void cmdOutput_Click();
    void cmdCreate_Click();
    void lblMyProducts_Click();
    void mnuNewProduct_Click();
    void mnuEditProduct_Click();
    void cboProduct_Click(int Index, const QString& product);
    void lblPreview_Click(int Index);
    void cmdAddUpsell_Click(int Index);
    void cmdAddDownsell_Click(int Index);
    void lblRemoveDownsell_Click(int Index);
    void mnuNew_Click();
    void mnuOpen_Click();
    bool mnuSave_Click();
    bool mnuSaveAs_Click();
    void ShowDocumentState();
    void mnuAbout_Click();

private:
    void CreateFileMenu();
    void CreateEditMenu();
    void CreateFunnelMenu();
    void CreateHelpMenu();
    // The Funnel menu follows the focus and the funnel: what the current item offers is enabled.
    void FollowFocus(QWidget* now);
    void ShowFunnelMenu();
    // Makes a change to the funnel through `change` and keeps it for Edit > Undo; changes with
    // the same `mergeKey` (>= 0) in a row are taken back as one.
    template <typename Change> void Record(const QString& text, Change change, int mergeKey = -1);
    void txtProductDownloadUrl_Change(int Index, const QString& address);
    // True when the funnel may be replaced: it is saved, the user saved it now, or chose to
    // discard the changes. No document change while a plugin is being built.
    bool MayReplaceFunnel();
    // True, and a message, while a plugin is being built.
    bool RefuseWhileBuilding();
    void CloseConvertWindow();
    void FillProductLists();
    // Makes a product of the user's own, or changes or removes one of `products`, and shows the
    // lists and the items as they are then.
    void ShowProductWindow(const QStringList& products);
    void SelectProduct(int Index);
    void ShowModel();
    void Zoom();

    AppRoots m_roots;
    Messages& m_messages;
    Shell& m_shell;
    KelvrinTools m_tools;
    ProductCatalogue m_catalogue;
    FunnelDocument m_document;
    std::array<FunnelItemPanel*, FunnelModel::SlotCount> m_panels{};
    std::array<ConnectorPicture*, FunnelModel::ConnectorCount> m_connectors{};
    QPointer<frmConvert> m_convert;
    QUndoStack* m_undo = nullptr;
    QWidget* m_sideBar = nullptr;
    // The side bar's colour continued in the strip of main buttons.
    QWidget* m_barSideBar = nullptr;
    QWidget* m_diagramArea = nullptr;
    std::unique_ptr<WidgetZoom> m_diagramZoom;
    std::unique_ptr<WidgetZoom> m_barZoom;
    QSize m_barBase;
    // The archive built last in this run, which "Open Output Folder" selects.
    QString m_lastArchive;
    // The item the Funnel menu's commands act on.
    int m_currentItem = 0;
    QMetaObject::Connection m_focusFollower;
};
