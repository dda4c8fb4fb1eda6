// The "Dial number" dialog: a telephone keypad that dials digits on one line in pulse or tone mode.
#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class CDevice;
class QLineEdit;
class QPushButton;
class QSlider;
struct DialKey;

class CDialDlg : public QDialog {
    Q_OBJECT
public:
    // Sends nothing while `device` is null.
    CDialDlg(CDevice* device, QWidget* parent);

    // Every way of closing puts the line back on-hook first.
    void done(int result) override;

    uint16_t DialType() const { return m_dialType; }

private:
    void OnDialTypeChanged();
    void OnKey(const DialKey& key);

    CDevice* m_device;
    uint16_t m_dialType = 0;
    QSlider* m_slider = nullptr;
    QLineEdit* m_number = nullptr;
    std::vector<QPushButton*> m_toneKeys;
};
