#pragma once

#include "funnel/FunnelModel.h"

#include <QUndoCommand>

// One change the user made to the funnel, as the funnel was before and after it. Edits of one
// download address in a row are one change.
class FunnelChange final : public QUndoCommand {
public:
    // `mergeKey` >= 0 joins this change to the one before with the same key.
    FunnelChange(FunnelModel& model, FunnelModel::State before, const QString& text, int mergeKey = -1);

    void undo() override;
    void redo() override;
    int id() const override { return m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    FunnelModel& m_model;
    FunnelModel::State m_before;
    FunnelModel::State m_after;
    int m_mergeKey;
    // The change is made before it is recorded: the first redo() has nothing to do.
    bool m_done = true;
};
