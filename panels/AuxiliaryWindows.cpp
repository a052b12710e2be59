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

int CControlPanelDlg::GetValue(int index) {
    if (index == 5) {
        const int button = m_values[5];
        m_values[5] = 10;
        return button;
    }
    return CAuxiliaryDialog::GetValue(index);
}

void CControlPanelDlg::SetValue(int index, int value) {
    if (index == 0) m_length = value;
    else if (index == 1) m_shownPosition = value;
}

void CVideoWindowDlg::OnMove(int x, int y) {
    if (SnapsToEdge(x)) { x = 0; m_values[4] = 1; }
    if (SnapsToEdge(y)) { y = 0; m_values[4] = 1; }
    m_values[0] = x;
    m_values[1] = y;
}
