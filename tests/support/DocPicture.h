#pragma once

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTranslator>
#include <QWidget>

// A window as the documentation's screenshots show it, over the main window's background, saved
// as build/screenshots/LANGUAGE/NAME.png. Needs VADIZEDE_BINARY_DIR, which every test has.
inline bool saveDocPicture(QWidget& window, const QString& language, const QString& name)
{
    const QString shots = VADIZEDE_BINARY_DIR "/screenshots/" + language;
    QDir().mkpath(shots);
    QImage picture(window.size(), QImage::Format_RGB32);
    picture.fill(QColor("#0A0F1B"));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, window.grab());
    painter.end();
    return picture.save(shots + "/" + name + ".png");
}

// The program's catalogue for "en" or "zh", installed while this lives.
class CatalogueInUse
{
public:
    explicit CatalogueInUse(const QString& language)
    {
        m_loaded = m_translator.load(language == "zh" ? ":/i18n/zh_CN.qm" : ":/i18n/en_US.qm");
        QApplication::installTranslator(&m_translator);
    }
    ~CatalogueInUse() { QApplication::removeTranslator(&m_translator); }
    CatalogueInUse(const CatalogueInUse&) = delete;
    CatalogueInUse& operator=(const CatalogueInUse&) = delete;

    bool isLoaded() const { return m_loaded; }

private:
    QTranslator m_translator;
    bool m_loaded = false;
};
