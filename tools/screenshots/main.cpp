// vocerra-screenshots [output folder] [scene name...]: every registered
// scene (or the named ones) in a light and a dark palette, as PNG files.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

#include "app/frame/app_icons.h"
#include "scene_registry.h"

namespace {

QPalette LightPalette() { return QApplication::style()->standardPalette(); }

QPalette DarkPalette() {
    QPalette dark;
    const QColor window(45, 45, 48), base(30, 30, 32), text(230, 230, 230), disabled(128, 128, 128);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, window);
    dark.setColor(QPalette::ToolTipBase, window);
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, disabled);
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(58, 58, 62));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::white);
    dark.setColor(QPalette::Light, QColor(80, 80, 84));
    dark.setColor(QPalette::Midlight, QColor(66, 66, 70));
    dark.setColor(QPalette::Mid, QColor(40, 40, 42));
    dark.setColor(QPalette::Dark, QColor(20, 20, 22));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Highlight, QColor(42, 110, 180));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(100, 160, 230));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, disabled);
    return dark;
}

bool Wanted(const std::string& name, const std::vector<std::string>& only) {
    if (only.empty()) return true;
    for (const std::string& wanted : only)
        if (wanted == name) return true;
    return false;
}

// Shows the scene's widget, lets it lay itself out and paint, and saves it.
bool Render(const VM_SScene& scene, const QString& file) {
    std::unique_ptr<QWidget> widget(scene.make());
    if (!widget) {
        std::fprintf(stderr, "vocerra-screenshots: scene %s made no widget\n", scene.name.c_str());
        return false;
    }
    widget->show();
    for (int round = 0; round < 5; ++round) QApplication::processEvents();
    if (!widget->grab().save(file)) {
        std::fprintf(stderr, "vocerra-screenshots: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setWindowIcon(VM_AppIcon());
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    std::vector<std::string> only(argv + std::min(argc, 2), argv + argc);
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "vocerra-screenshots: cannot make %s\n", qPrintable(output));
        return 1;
    }
    const struct {
        const char* suffix;
        QPalette palette;
    } looks[] = {{"light", LightPalette()}, {"dark", DarkPalette()}};
    int failures = 0, written = 0;
    for (const auto& look : looks) {
        QApplication::setPalette(look.palette);
        for (const VM_SScene& scene : VM_RegisteredScenes()) {
            if (!Wanted(scene.name, only)) continue;
            const QString file = QDir(output).filePath(QString::fromStdString(scene.name) + "-" + look.suffix + ".png");
            if (Render(scene, file)) ++written;
            else ++failures;
        }
    }
    std::printf("vocerra-screenshots: %d files in %s\n", written, qPrintable(output));
    return failures == 0 && written > 0 ? 0 : 1;
}
