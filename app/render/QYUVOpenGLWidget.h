#ifndef QYUVOPENGLWIDGET_H
#define QYUVOPENGLWIDGET_H

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>

#include <memory>

// Draws planar YUV 4:2:0 frames: three one-byte textures converted to RGB by a BT.709
// limited-range shader on one quad that fills the widget.
class QYUVOpenGLWidget : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT
public:
    explicit QYUVOpenGLWidget(QWidget* parent = nullptr);
    ~QYUVOpenGLWidget() override;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    void setFrameSize(const QSize& frameSize);
    const QSize& frameSize();
    // The planes need only live for the call: they are copied into the textures at once.
    void updateTextures(unsigned char* dataY, unsigned char* dataU, unsigned char* dataV, unsigned int linesizeY,
                        unsigned int linesizeU, unsigned int linesizeV);
    // Blacks the next paint only; a later repaint shows the last frame again.
    void clear();

protected:
    void initializeGL() override;
    void paintGL() override;

    void initShader();
    void initTextures();
    void deInitTextures();

private:
    // The three planes of a frame, in texture-unit order.
    enum Plane {
        PLANE_Y = 0,
        PLANE_U = 1,
        PLANE_V = 2,
        PLANE_COUNT = 3,
    };

    void updateTexture(Plane plane, quint8* pixels, quint32 stride);
    void drawFrame();
    void releaseGL();
    QSize planeSize(Plane plane) const;
    void rebuildTexturesIfResized();
    void logDroppedFrame(unsigned char* dataY, unsigned char* dataU, unsigned char* dataV, unsigned int linesizeY,
                         unsigned int linesizeU, unsigned int linesizeV) const;

    QSize m_frameSize = {-1, -1};
    bool m_needUpdate = false;
    bool m_textureInited = false;
    bool m_clearRequested = false;
    QOpenGLBuffer m_vbo;
    std::unique_ptr<QOpenGLShaderProgram> m_shaderProgram;
    GLuint m_texture[PLANE_COUNT] = {0};
};

#endif // QYUVOPENGLWIDGET_H
