// The layers with running animations, and the frame timer that redraws them under the system
// clock. Used by the layers and the clocks only. Main thread only.
#pragma once

#include <QObject>
#include <QTimer>
#include <vector>

class CALayer;

class LayerRegistry : public QObject {
    Q_OBJECT
public:
    static LayerRegistry& shared();

    void animationsStarted(CALayer* layer);
    void layerGone(CALayer* layer);
    // Advances every running layer to the clock's time.
    void tick();
    void clockChanged();

private:
    LayerRegistry();
    void updateTimer();

    std::vector<CALayer*> mRunning;
    QTimer mFrames;
};
