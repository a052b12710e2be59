#include "panels/AuxiliaryWindows.h"

int CAuxiliaryDialog::GetValue(int index) {
    if (index < 0 || index >= static_cast<int>(m_values.size())) return 0;
    const int value = m_values[index];
    if (ClearsOnRead(index)) m_values[index] = IdleValue(index);
    return value;
}

void CAuxiliaryDialog::SetValue(int index, int value) {
    if (index < 0 || index >= static_cast<int>(m_values.size())) return;
    m_values[index] = value;
}

void CVideoWindowDlg::OnMove(int x, int y) {
    if (SnapsToEdge(x)) {
        x = 0;
        m_values[kVideoSnapped] = 1;
    }
    if (SnapsToEdge(y)) {
        y = 0;
        m_values[kVideoSnapped] = 1;
    }
    m_values[kVideoX] = x;
    m_values[kVideoY] = y;
}
