#include "app/ui/StylePopover.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace quillet {

namespace {

constexpr LocalizedString kColorLabel{"Color", "Цвет"};
constexpr LocalizedString kOtherColor{"Other Color…", "Другой цвет…"};
constexpr LocalizedString kThickness{"Thickness", "Толщина"};
constexpr LocalizedString kTextSize{"Text Size", "Размер текста"};
constexpr LocalizedString kBorder{"Border and Background", "Рамка и фон"};
constexpr LocalizedString kPointUnit{" pt", " пт"};

constexpr int kSwatchSize = 22;
constexpr int kSliderWidth = 190;
constexpr int kSegmentWidth = 38;
// The slider counts hundredths of a point; stored widths are quarter points.
constexpr double kSliderSteps = 100;

QLabel* sectionLabel(const LocalizedString& text, QWidget* parent) {
    auto* label = new QLabel(text.text(), parent);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QColor labelColor(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

}  // namespace

StylePopover::StylePopover(Tool tool, const ToolStyle& initial, ChangeHandler onChange, QWidget* parent)
    : QFrame(parent, Qt::Popup), tool_(tool), style_(initial), onChange_(std::move(onChange)) {
    setFrameShape(QFrame::StyledPanel);
    setAttribute(Qt::WA_DeleteOnClose, false);
    build();
    refresh();
}

StylePopover::~StylePopover() {
    endOfUse();
}

void StylePopover::build() {
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(10);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    stack->addWidget(sectionLabel(kColorLabel, this));
    auto* swatchRow = new QHBoxLayout;
    swatchRow->setSpacing(6);
    for (size_t i = 0; i < ToolSettings::palette.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setFixedSize(kSwatchSize, kSwatchSize);
        button->setIconSize(QSize(kSwatchSize, kSwatchSize));
        button->setToolTip(ToolSettings::palette[i].name.text());
        button->setAccessibleName(ToolSettings::palette[i].name.text());
        connect(button, &QToolButton::clicked, this, [this, i] { chooseSwatch(static_cast<int>(i)); });
        swatches_[i] = button;
        swatchRow->addWidget(button);
    }
    otherColor_ = new QPushButton(kOtherColor.text(), this);
    connect(otherColor_, &QPushButton::clicked, this, &StylePopover::openColorPanel);
    swatchRow->addWidget(otherColor_);
    stack->addLayout(swatchRow);

    if (hasLineWidthControl(tool_)) {
        stack->addWidget(sectionLabel(kThickness, this));
        auto* row = new QHBoxLayout;
        row->setSpacing(8);
        const ToolSettings::WidthRange range = ToolSettings::lineWidthRange(tool_);
        slider_ = new QSlider(Qt::Horizontal, this);
        slider_->setFixedWidth(kSliderWidth);
        slider_->setRange(static_cast<int>(std::lround(range.min * kSliderSteps)),
                          static_cast<int>(std::lround(range.max * kSliderSteps)));
        connect(slider_, &QSlider::valueChanged, this, [this](int value) {
            if (!refreshing_) moveSlider(value / kSliderSteps);
        });
        widthLabel_ = new QLabel(this);
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPointSizeF(font().pointSizeF() * 0.85);
        widthLabel_->setFont(mono);
        widthLabel_->setForegroundRole(QPalette::PlaceholderText);
        row->addWidget(slider_);
        row->addWidget(widthLabel_);
        stack->addLayout(row);
    }

    if (hasTextSizeControl(tool_)) {
        stack->addWidget(sectionLabel(kTextSize, this));
        auto* row = new QHBoxLayout;
        row->setSpacing(0);
        sizes_ = new QButtonGroup(this);
        sizes_->setExclusive(true);
        for (size_t i = 0; i < ToolSettings::textSizes.size(); ++i) {
            auto* segment = new QToolButton(this);
            segment->setCheckable(true);
            segment->setFixedWidth(kSegmentWidth);
            segment->setText(formatPoints(ToolSettings::textSizes[i]));
            sizes_->addButton(segment, static_cast<int>(i));
            row->addWidget(segment);
        }
        row->addStretch();
        connect(sizes_, &QButtonGroup::idClicked, this, &StylePopover::chooseSize);
        stack->addLayout(row);
        if (hasBorderSwitch(tool_)) {
            boxed_ = new QCheckBox(kBorder.text(), this);
            connect(boxed_, &QCheckBox::toggled, this, [this](bool on) {
                if (!refreshing_) setBoxed(on);
            });
            stack->addWidget(boxed_);
        }
    }
}

void StylePopover::refresh() {
    refreshing_ = true;
    const QColor label = labelColor(this);
    for (size_t i = 0; i < swatches_.size(); ++i) {
        const bool selected = swatchMatches(ToolSettings::palette[i].color, style_.color);
        swatches_[i]->setIcon(QIcon(QPixmap::fromImage(
            swatchImage(ToolSettings::palette[i].color, selected, label, devicePixelRatioF()))));
    }
    if (slider_) {
        slider_->setValue(static_cast<int>(std::lround(style_.lineWidth * kSliderSteps)));
        widthLabel_->setText(widthText(style_.lineWidth, InterfaceLanguage::current()));
    }
    if (sizes_) sizes_->button(nearestSizeIndex(style_.fontSize))->setChecked(true);
    if (boxed_) boxed_->setChecked(style_.boxed);
    refreshing_ = false;
}

void StylePopover::changed() {
    refresh();
    if (onChange_) onChange_(style_);
}

void StylePopover::chooseSwatch(int index) {
    if (index < 0 || index >= static_cast<int>(ToolSettings::palette.size())) return;
    style_.color = ToolSettings::palette[static_cast<size_t>(index)].color;
    changed();
}

void StylePopover::moveSlider(double value) {
    style_.lineWidth = quarterPoints(value);
    changed();
}

void StylePopover::chooseSize(int index) {
    if (index < 0 || index >= static_cast<int>(ToolSettings::textSizes.size())) return;
    style_.fontSize = ToolSettings::textSizes[static_cast<size_t>(index)];
    changed();
}

void StylePopover::setBoxed(bool boxed) {
    style_.boxed = boxed;
    changed();
}

void StylePopover::setColorFromPanel(const QColor& color) {
    if (!color.isValid()) return;
    const RGBA rgba = fromQColor(color);
    style_.color = RGBA(rgba.r, rgba.g, rgba.b, 1.0);
    changed();
}

void StylePopover::openColorPanel() {
    // A popup takes every click while shown, so it steps aside while the
    // dialog is open and comes back when the dialog closes.
    panelOpen_ = true;
    hide();
    QWidget* owner = anchor_ ? anchor_->window() : nullptr;
    panel_ = new QColorDialog(toQColor(style_.color), owner);
    panel_->setAttribute(Qt::WA_DeleteOnClose);
    panel_->setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    const ToolStyle before = style_;
    connect(panel_, &QColorDialog::currentColorChanged, this, &StylePopover::setColorFromPanel);
    connect(panel_, &QColorDialog::finished, this, [this, before](int result) {
        if (result != QDialog::Accepted && style_.color != before.color) {
            style_.color = before.color;
            changed();
        }
        panelOpen_ = false;
        if (anchor_)
            showBelow(anchor_);
        else
            show();
    });
    panel_->open();
}

void StylePopover::endOfUse() {
    if (!panel_) return;
    disconnect(panel_, nullptr, this, nullptr);
    panel_->close();
    panel_ = nullptr;
}

void StylePopover::showBelow(QWidget* anchor) {
    anchor_ = anchor;
    closedSent_ = false;
    adjustSize();
    QPoint at = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
    at.rx() -= width() / 2;
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(at);
    show();
}

void StylePopover::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QFrame::keyPressEvent(event);
}

void StylePopover::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (panelOpen_ || closedSent_) return;
    closedSent_ = true;
    emit closed();
}

double StylePopover::quarterPoints(double value) {
    return std::round(value * 4) / 4;
}

bool StylePopover::swatchMatches(const RGBA& swatch, const RGBA& color) {
    return std::abs(swatch.r - color.r) < 0.02 && std::abs(swatch.g - color.g) < 0.02 &&
           std::abs(swatch.b - color.b) < 0.02;
}

int StylePopover::nearestSizeIndex(double fontSize) {
    int best = 0;
    for (size_t i = 1; i < ToolSettings::textSizes.size(); ++i) {
        if (std::abs(ToolSettings::textSizes[i] - fontSize) <
            std::abs(ToolSettings::textSizes[static_cast<size_t>(best)] - fontSize))
            best = static_cast<int>(i);
    }
    return best;
}

QString StylePopover::formatPoints(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e9)
        return QString::number(static_cast<long long>(value));
    return QString::asprintf("%.1f", value);
}

QString StylePopover::widthText(double lineWidth, Language language) {
    const double oneDecimal = std::round(lineWidth * 10) / 10;
    return formatPoints(oneDecimal) + kPointUnit.in(language);
}

QImage StylePopover::swatchImage(const RGBA& color, bool selected, const QColor& label, qreal pixelRatio) {
    QImage image(QSize(kSwatchSize, kSwatchSize) * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(withAlpha(label, 0.35), 1));
    painter.setBrush(toQColor(color));
    painter.drawEllipse(QRectF(1, 1, kSwatchSize - 2, kSwatchSize - 2));
    if (selected) {
        const double inset = 0.3 * kSwatchSize;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(inset, inset, kSwatchSize - 2 * inset, kSwatchSize - 2 * inset));
    }
    return image;
}

QImage StylePopover::styleButtonImage(Tool tool, const ToolStyle& style, const QColor& label,
                                      qreal pixelRatio) {
    const QSize size(hasLineWidthControl(tool) ? 22 : 16, 18);
    QImage image(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(pixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(withAlpha(label, 0.35), 1));
    painter.setBrush(toQColor(style.color));
    painter.drawEllipse(QRectF(2, 3, 12, 12));
    if (hasLineWidthControl(tool)) {
        const double h = std::clamp(style.lineWidth / 2.5, 1.0, 6.0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(label);
        painter.drawRoundedRect(QRectF(16, 9 - h / 2, 5, h), h / 2, h / 2);
    }
    return image;
}

}  // namespace quillet
