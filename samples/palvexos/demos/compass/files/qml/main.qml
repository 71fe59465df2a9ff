import QtQuick
import QtQuick.Controls
import QtSensors

ApplicationWindow {
    width: 480
    height: 800
    visible: true
    title: qsTr("Compass")

    Compass {
        id: compass
        active: true
    }

    Image {
        id: dial
        anchors.centerIn: parent
        width: Math.min(parent.width, parent.height) * 0.8
        height: width
        source: "../icons/128x128/compass.png"
        rotation: compass.reading ? -compass.reading.azimuth : 0
        Behavior on rotation { RotationAnimation { direction: RotationAnimation.Shortest } }
    }

    Label {
        anchors { horizontalCenter: parent.horizontalCenter; top: dial.bottom; topMargin: 24 }
        text: compass.reading && compass.reading.calibrationLevel < 0.5
              ? qsTr("Move the device in a figure eight to calibrate")
              : qsTr("%1°").arg(Math.round(compass.reading ? compass.reading.azimuth : 0))
    }
}
