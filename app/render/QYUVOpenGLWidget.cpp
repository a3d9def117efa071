#include "QYUVOpenGLWidget.h"

#include <QCoreApplication>
#include <QDebug>

#include <climits>
#include <cstring>

namespace {

// Positions (x, y, z) of a triangle strip over the viewport, then the texture coordinates of the same
// vertices; texture row 0, the frame's first line, lands at the top.
const GLfloat coordinate[] = {
    -1.0f, -1.0f, 0.0f, 1.0f, -1.0f, 0.0f, -1.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f,
    0.0f,  1.0f,  1.0f, 1.0f, 0.0f,  0.0f, 1.0f,  0.0f,
};
const int kTextureCoordinateOffset = 12 * sizeof(GLfloat);

const QString s_vertShader = R"(
    attribute vec3 vertexIn;
    attribute vec2 textureIn;
    varying vec2 textureOut;
    void main(void)
    {
        gl_Position = vec4(vertexIn, 1.0);
        textureOut = textureIn;
    }
)";

// BT.709, limited range: luma 16..235, chroma 16..240.
const QString s_fragShader = R"(
#ifdef GL_ES
    precision mediump float;
#endif
    varying vec2 textureOut;
    uniform sampler2D textureY;
    uniform sampler2D textureU;
    uniform sampler2D textureV;
    void main(void)
    {
        vec3 yuv;
        vec3 rgb;
        yuv.x = texture2D(textureY, textureOut).r - 0.0625;
        yuv.y = texture2D(textureU, textureOut).r - 0.5;
        yuv.z = texture2D(textureV, textureOut).r - 0.5;
        rgb = mat3(1.1644, 1.1644, 1.1644,
                   0.0, -0.2132, 2.1124,
                   1.7927, -0.5329, 0.0) * yuv;
        gl_FragColor = vec4(rgb, 1.0);
    }
)";

// Chroma planes are half the frame, rounded up for odd sizes.
int halfRoundedUp(int value)
{
    return (value + 1) / 2;
}

} // namespace

QYUVOpenGLWidget::QYUVOpenGLWidget(QWidget* parent) : QOpenGLWidget(parent) {}

QYUVOpenGLWidget::~QYUVOpenGLWidget()
{
    if (context()) {
        disconnect(context(), nullptr, this, nullptr);
    }
    releaseGL();
}

QSize QYUVOpenGLWidget::sizeHint() const
{
    return size();
}

QSize QYUVOpenGLWidget::minimumSizeHint() const
{
    return QSize(50, 50);
}

void QYUVOpenGLWidget::setFrameSize(const QSize& frameSize)
{
    if (m_frameSize == frameSize) {
        return;
    }
    m_frameSize = frameSize;
    m_needUpdate = true;
    // Rebuild the textures now, so that the frame that follows has somewhere to go.
    repaint();
}

const QSize& QYUVOpenGLWidget::frameSize()
{
    return m_frameSize;
}

void QYUVOpenGLWidget::updateTextures(unsigned char* dataY, unsigned char* dataU, unsigned char* dataV,
                                      unsigned int linesizeY, unsigned int linesizeU, unsigned int linesizeV)
{
    rebuildTexturesIfResized();
    // A line shorter than the plane, or one beyond what GL can take, would read outside the plane.
    const auto fits = [](unsigned int linesize, int width) { return linesize >= quint32(width) && linesize <= INT_MAX; };
    const bool linesFit = fits(linesizeY, planeSize(PLANE_Y).width()) && fits(linesizeU, planeSize(PLANE_U).width())
                          && fits(linesizeV, planeSize(PLANE_V).width());
    if (!m_textureInited || !dataY || !dataU || !dataV || !linesFit) {
        logDroppedFrame(dataY, dataU, dataV, linesizeY, linesizeU, linesizeV);
        return;
    }
    updateTexture(PLANE_Y, dataY, linesizeY);
    updateTexture(PLANE_U, dataU, linesizeU);
    updateTexture(PLANE_V, dataV, linesizeV);
    update();
}

void QYUVOpenGLWidget::clear()
{
    m_clearRequested = true;
    update();
}

void QYUVOpenGLWidget::initializeGL()
{
    initializeOpenGLFunctions();
    // Moving the widget into another window gives it a new context and runs this again; what lived in
    // the old one is released with it, and the textures are rebuilt at the next paint.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &QYUVOpenGLWidget::releaseGL,
            Qt::UniqueConnection);
    m_needUpdate = m_frameSize.isValid();
    glDisable(GL_DEPTH_TEST);

    m_vbo.create();
    m_vbo.bind();
    m_vbo.allocate(coordinate, sizeof(coordinate));
    m_vbo.release();
    initShader();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

// Qt has set the viewport to the widget's size; everything the draw needs is bound here, since Qt's
// own drawing may have changed the context's state since the last paint.
void QYUVOpenGLWidget::paintGL()
{
    if (m_needUpdate) {
        deInitTextures();
        initTextures();
        m_needUpdate = false;
    }
    glClear(GL_COLOR_BUFFER_BIT);
    if (m_clearRequested) {
        m_clearRequested = false;
        return;
    }
    if (m_textureInited && m_shaderProgram) {
        drawFrame();
    }
}

void QYUVOpenGLWidget::drawFrame()
{
    m_shaderProgram->bind();
    m_vbo.bind();
    m_shaderProgram->setAttributeBuffer("vertexIn", GL_FLOAT, 0, 3, 3 * sizeof(GLfloat));
    m_shaderProgram->enableAttributeArray("vertexIn");
    m_shaderProgram->setAttributeBuffer("textureIn", GL_FLOAT, kTextureCoordinateOffset, 2, 2 * sizeof(GLfloat));
    m_shaderProgram->enableAttributeArray("textureIn");
    for (int plane = PLANE_Y; plane < PLANE_COUNT; ++plane) {
        glActiveTexture(GL_TEXTURE0 + plane);
        glBindTexture(GL_TEXTURE_2D, m_texture[plane]);
    }
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glActiveTexture(GL_TEXTURE0);
    m_vbo.release();
    m_shaderProgram->release();
}

void QYUVOpenGLWidget::initShader()
{
    QString fragShader = s_fragShader;
    if (QCoreApplication::testAttribute(Qt::AA_UseOpenGLES)) {
        fragShader.prepend(R"(
    precision mediump int;
    precision mediump float;
    )");
    }
    // A program belongs to one context: a new context needs a new program. Compiling it costs tens of
    // milliseconds under software rendering; the program cache makes every later one almost free.
    m_shaderProgram = std::make_unique<QOpenGLShaderProgram>();
    m_shaderProgram->addCacheableShaderFromSourceCode(QOpenGLShader::Vertex, s_vertShader);
    m_shaderProgram->addCacheableShaderFromSourceCode(QOpenGLShader::Fragment, fragShader);
    m_shaderProgram->link();
    // Each sampler reads the texture unit of its plane.
    m_shaderProgram->bind();
    m_shaderProgram->setUniformValue("textureY", int(PLANE_Y));
    m_shaderProgram->setUniformValue("textureU", int(PLANE_U));
    m_shaderProgram->setUniformValue("textureV", int(PLANE_V));
    m_shaderProgram->release();
}

void QYUVOpenGLWidget::initTextures()
{
    for (int plane = PLANE_Y; plane < PLANE_COUNT; ++plane) {
        const QSize size = planeSize(Plane(plane));
        glGenTextures(1, &m_texture[plane]);
        glBindTexture(GL_TEXTURE_2D, m_texture[plane]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, size.width(), size.height(), 0, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                     nullptr);
    }
    m_textureInited = true;
}

void QYUVOpenGLWidget::deInitTextures()
{
    if (QOpenGLFunctions::isInitialized(QOpenGLFunctions::d_ptr)) {
        glDeleteTextures(PLANE_COUNT, m_texture);
    }
    memset(m_texture, 0, sizeof(m_texture));
    m_textureInited = false;
}

void QYUVOpenGLWidget::updateTexture(Plane plane, quint8* pixels, quint32 stride)
{
    if (!pixels) {
        return;
    }
    const QSize size = planeSize(plane);
    makeCurrent();
    glBindTexture(GL_TEXTURE_2D, m_texture[plane]);
    // Lines are one byte per texel and any length; the row length skips the decoder's padding in place.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(stride));
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, size.width(), size.height(), GL_LUMINANCE, GL_UNSIGNED_BYTE, pixels);
    // Leave the context's unpacking as Qt's own drawing expects it.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    doneCurrent();
}

void QYUVOpenGLWidget::releaseGL()
{
    // A context that went first took the GL objects and the function table with it: calling
    // through that table now would use freed memory.
    if (!context() || !context()->isValid()) {
        memset(m_texture, 0, sizeof(m_texture));
        m_textureInited = false;
        return;
    }
    makeCurrent();
    m_vbo.destroy();
    deInitTextures();
    m_shaderProgram.reset();
    doneCurrent();
}

QSize QYUVOpenGLWidget::planeSize(Plane plane) const
{
    if (plane == PLANE_Y) {
        return m_frameSize;
    }
    return QSize(halfRoundedUp(m_frameSize.width()), halfRoundedUp(m_frameSize.height()));
}

// A frame of a new size may arrive before the repaint that rebuilds the textures (the widget was
// hidden); uploading it into textures of the old size would fail or leave a mixed picture.
void QYUVOpenGLWidget::rebuildTexturesIfResized()
{
    if (!m_needUpdate || !isValid()) {
        return;
    }
    makeCurrent();
    deInitTextures();
    initTextures();
    doneCurrent();
    m_needUpdate = false;
}

void QYUVOpenGLWidget::logDroppedFrame(unsigned char* dataY, unsigned char* dataU, unsigned char* dataV,
                                       unsigned int linesizeY, unsigned int linesizeU, unsigned int linesizeV) const
{
    qDebug().nospace() << "updateTextures m_textureInited: " << m_textureInited << ", dataY: " << static_cast<void*>(dataY)
             << ", dataU: " << static_cast<void*>(dataU) << ", dataV: " << static_cast<void*>(dataV)
             << ", linesizeY: " << linesizeY << ", linesizeU: " << linesizeU << ", linesizeV: " << linesizeV;
}
