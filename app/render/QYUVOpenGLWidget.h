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
    void resizeGL(int width, int height) override;
    void paintGL() override;

    void initShader();
    void initTextures();
    void deInitTextures();
    void updateTexture(GLuint texture, quint32 textureType, quint8* pixels, quint32 stride);

private:
    void releaseGL();
    QSize planeSize(quint32 textureType) const;
    void rebuildTexturesIfResized();
    void logDroppedFrame(unsigned char* dataY, unsigned char* dataU, unsigned char* dataV, unsigned int linesizeY,
                         unsigned int linesizeU, unsigned int linesizeV) const;

    QSize m_frameSize = {-1, -1};
    bool m_needUpdate = false;
    bool m_textureInited = false;
    bool m_clearRequested = false;
    QOpenGLBuffer m_vbo;
    std::unique_ptr<QOpenGLShaderProgram> m_shaderProgram;
    GLuint m_texture[3] = {0};
};

#endif // QYUVOPENGLWIDGET_H
