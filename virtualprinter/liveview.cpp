#include "liveview.h"

#include <QLabel>
#include <QScrollBar>

LiveView::LiveView(PaperSpec paper, QWidget *parent)
    : QScrollArea(parent)
    , m_renderer(paper)
    , m_paper(new QLabel)
{
    setWindowTitle(QStringLiteral("VR2710 virtual printer"));
    m_paper->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_paper->setText(QStringLiteral("Waiting for a receipt ..."));
    setWidget(m_paper);
    setWidgetResizable(true);
    setBackgroundRole(QPalette::Dark);
    resize(ReceiptImage::pixels(paper.rollWidthInch()) + 40, 640);
    m_throttle.setSingleShot(true);
    m_throttle.setInterval(40);
    connect(&m_throttle, &QTimer::timeout, this, &LiveView::repaintReceipt);
}

void LiveView::show(const QString &portName, const PrintedReceipt &receipt)
{
    m_portName = portName;
    m_latest = receipt;
    if (!m_throttle.isActive())
        m_throttle.start();
}

void LiveView::repaintReceipt()
{
    setWindowTitle(QStringLiteral("VR2710 virtual printer - %1%2")
                       .arg(m_portName, m_latest.cut ? QString() : QStringLiteral(" (printing)")));
    m_paper->setPixmap(QPixmap::fromImage(m_renderer.render(m_latest)));
    verticalScrollBar()->setValue(verticalScrollBar()->maximum()); // follow the paper out
}
