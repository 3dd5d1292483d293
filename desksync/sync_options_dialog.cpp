#include "desksync/sync_options_dialog.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QButtonGroup>
#include <QIntValidator>
#include <QKeyEvent>
#include <QScrollBar>

#include "desk/desk.h"
#include "ui/controls.h"
#include "ui/modal.h"

namespace desksync {

namespace {

// Dialog units of the template's 8-point font, in pixels.
QRect du(int x, int y, int w, int h) { return QRect(x * 3 / 2, y * 13 / 8, w * 3 / 2, h * 13 / 8); }

template <class T>
T* place(QWidget* parent, int id, const QRect& r, const QString& text = {}) {
    T* w = new T(parent);
    if constexpr (std::is_base_of_v<QAbstractButton, T> || std::is_same_v<T, QLabel>)
        w->setText(text);
    w->setGeometry(r);
    if (id) ui::setControlId(w, id);
    return w;
}

}  // namespace

CSyncOptDlg::CSyncOptDlg(QWidget* parent, const std::u16string& volumeText,
                         const std::u16string& path, uint32_t filter, const QString& lastUpdated)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Quorin 백업"));
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(10);
    setFont(font);
    setFixedSize(du(0, 0, 233, 211).size());

    // Schedule choices: kept as the user leaves them for the run, with no schedule of their own.
    auto* schedule = new QButtonGroup(this);
    schedule->addButton(place<QRadioButton>(this, IDC_EVERY_TIME, du(11, 16, 115, 11),
                                            QStringLiteral("매번 ( 크래들에 올라올 때 )")));
    schedule->addButton(place<QRadioButton>(this, IDC_DAILY, du(11, 33, 115, 11),
                                            QStringLiteral("매일 ( 처음 설정한 시간 )")));
    schedule->addButton(place<QRadioButton>(this, IDC_WEEKLY, du(11, 51, 115, 11),
                                            QStringLiteral("매주 ( 1주일에 한번씩 )")));
    schedule->addButton(place<QRadioButton>(this, IDC_CUSTOM, du(11, 69, 61, 11),
                                            QStringLiteral("사용자 정의")));
    schedule->buttons().front()->setChecked(true);
    // The custom number and its up-down control, which sets the number and follows its edits.
    auto* number = place<QLineEdit>(this, IDC_CUSTOM_NUMBER, du(80, 68, 41, 12));
    number->setValidator(new QIntValidator(0, 999, number));
    number->setText(QStringLiteral("0"));
    auto* spin = place<QScrollBar>(this, IDC_CUSTOM_SPIN, du(122, 68, 10, 12));
    spin->setOrientation(Qt::Vertical);
    spin->setRange(0, 999);
    spin->setInvertedAppearance(true);  // the upper arrow counts up
    spin->setInvertedControls(false);
    connect(spin, &QScrollBar::valueChanged, number,
            [number](int v) { number->setText(QString::number(v)); });
    connect(number, &QLineEdit::textEdited, spin, [spin](const QString& t) { spin->setValue(t.toInt()); });
    number->installEventFilter(this);
    place<QLabel>(this, IDC_LAST_UPDATED, du(14, 96, 150, 13),
                  QStringLiteral("Last Updated : ") + lastUpdated);

    // The item filter, beside the schedule.
    auto* filters = new QButtonGroup(this);
    QRadioButton* all = place<QRadioButton>(this, IDC_FILTER_ALL, du(140, 16, 85, 11),
                                            QStringLiteral("모든 항목"));
    QRadioButton* am = place<QRadioButton>(this, IDC_FILTER_A_M, du(140, 33, 85, 11),
                                           QStringLiteral("이름 A - M"));
    QRadioButton* nz = place<QRadioButton>(this, IDC_FILTER_N_Z, du(140, 51, 85, 11),
                                           QStringLiteral("이름 N - Z"));
    filters->addButton(all);
    filters->addButton(am);
    filters->addButton(nz);
    (filter == 1 ? am : filter == 2 ? nz : all)->setChecked(true);

    place<QLabel>(this, 0, du(7, 121, 80, 8), QStringLiteral("Current Database Volume:"));
    auto* volume = place<QLineEdit>(this, IDC_VOLUME, du(7, 131, 166, 14));
    volume->setReadOnly(true);
    volume->setText(QString::fromStdU16String(volumeText));
    place<QLabel>(this, 0, du(7, 150, 141, 8), QStringLiteral("Synchronize with:"));
    auto* file = place<QLineEdit>(this, IDC_FILE, du(7, 160, 166, 14));
    file->setMaxLength(259);
    file->setText(QString::fromStdU16String(path));

    auto* ok = place<QPushButton>(this, 1, du(60, 190, 50, 14), QStringLiteral("확인"));
    ok->setDefault(true);
    auto* close = place<QPushButton>(this, 2, du(118, 190, 50, 14), QStringLiteral("닫기"));
    connect(ok, &QPushButton::clicked, this, &CSyncOptDlg::accept);
    connect(close, &QPushButton::clicked, this, &CSyncOptDlg::reject);
}

bool CSyncOptDlg::eventFilter(QObject* watched, QEvent* event) {
    // The arrow keys in the number step it, as its up-down control does.
    if (event->type() == QEvent::KeyPress && ui::controlId(watched) == IDC_CUSTOM_NUMBER) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            auto* spin = ui::control<QScrollBar>(this, IDC_CUSTOM_SPIN);
            spin->setValue(spin->value() + (key == Qt::Key_Up ? 1 : -1));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CSyncOptDlg::accept() {
    auto checked = [this](int id) {
        auto* b = ui::control<QRadioButton>(this, id);
        return b && b->isChecked();
    };
    filter_ = checked(IDC_FILTER_A_M) ? 1 : checked(IDC_FILTER_N_Z) ? 2 : 0;
    path_ = ui::control<QLineEdit>(this, IDC_FILE)->text().left(259).toStdU16String();
    QDialog::accept();
}

bool runSyncOptionsDialog(void* parent, const std::u16string& volumeText, uint32_t& filter,
                          std::u16string& path) {
    if (!QApplication::instance()) return false;  // no desktop to show it on
    const QFileInfo info(QString::fromStdString(desk::hostPath(path).string()));
    const QString last =
        info.exists() ? info.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QString();
    CSyncOptDlg dlg(static_cast<QWidget*>(parent), volumeText, path, filter, last);
    if (ui::runModal(dlg) != QDialog::Accepted) return false;
    filter = dlg.filter();
    path = dlg.path();
    return true;
}

}  // namespace desksync
