#pragma once

#include "receiptimage.h"

#include <QScrollArea>
#include <QTimer>

class QLabel;

// A window that shows the receipt being printed as it arrives, then the finished one.
class LiveView : public QScrollArea
{
    Q_OBJECT

public:
    explicit LiveView(PaperSpec paper, QWidget *parent = nullptr);

    void show(const QString &portName, const PrintedReceipt &receipt);

private:
    void repaintReceipt();

    ReceiptImage m_renderer;
    QLabel *m_paper;
    QTimer m_throttle; // at most one repaint per frame, however fast the bytes come
    PrintedReceipt m_latest;
    QString m_portName;
};
