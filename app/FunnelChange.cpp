#include "app/FunnelChange.h"

FunnelChange::FunnelChange(FunnelModel& model, FunnelModel::State before, const QString& text, int mergeKey)
    : QUndoCommand(text)
    , m_model(model)
    , m_before(std::move(before))
    , m_after(model.Save())
    , m_mergeKey(mergeKey) {}

void FunnelChange::undo() {
    m_model.Restore(m_before);
    m_done = false;
}

void FunnelChange::redo() {
    if (!m_done)
        m_model.Restore(m_after);
    m_done = true;
}

bool FunnelChange::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const FunnelChange*>(other);
    m_after = next->m_after;
    // An edit that ends where it began leaves nothing to take back.
    if (m_after == m_before)
        setObsolete(true);
    return true;
}
