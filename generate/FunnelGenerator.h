#pragma once

#include "generate/FunnelTokens.h"
#include "generate/GenerationResult.h"
#include "platform/AppRoots.h"

#include <QString>

class FunnelModel;
class KelvrinTools;
class Messages;

// Turns the funnel into the work area `temp` (token files, images, sales and download pages,
// the starting sales copies) and the metabox and switch texts. The work area is rebuilt on every run.
class FunnelGenerator {
public:
    FunnelGenerator(AppRoots roots, KelvrinTools& tools, Messages& messages);

    // True when every shown slot has a product chosen.
    static bool CheckFunnelItems(const FunnelModel& funnel);
    // Throws BuildError at the first failure; files written for earlier slots stay. Well-formed
    // tokens in `earlier` are kept for their slots.
    GenerationResult ProcessFunnel(const FunnelModel& funnel, const FunnelTokens& earlier = {});

    // Where item `n`'s files go, relative to the work area; `page` is "salespage" or
    // "downloadpage". Named here once for the generator and for the checks of path lengths.
    static QString TokenFile(int n, const QString& page);
    static QString SalesPageFile(int n);
    static QString DownloadPageFile(int n);
    // The sales copy item `n` starts from in the plugin's copy module.
    static QString SalesCopyFile(int n);

private:
    void RebuildWorkArea();
    void MakeFolder(const QString& relative);
    // `relative` begins with "/": a path below the work area, or below the shipped data.
    QString WorkPath(const QString& relative) const;
    QString ShippedPath(const QString& relative) const;

    AppRoots m_roots;
    KelvrinTools& m_tools;
    Messages& m_messages;
};
