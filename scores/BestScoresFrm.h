#pragma once

#include <QDialog>

#include <memory>

namespace Ui { class BestScoresForm; }

// The best-scores dialog.
class TBestScoresForm : public QDialog {
    Q_OBJECT

public:
    explicit TBestScoresForm(QWidget* Parent = nullptr);
    ~TBestScoresForm() override;

private:
    std::unique_ptr<Ui::BestScoresForm> FUi;
};

extern TBestScoresForm* BestScoresForm;
