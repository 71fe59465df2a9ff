import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: window
    width: 480
    height: 800
    visible: true
    title: qsTr("Hello QML")

    property int taps: 0

    Column {
        anchors.centerIn: parent
        spacing: 24

        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            text: window.taps === 0 ? qsTr("Hello, Palvex OS!")
                                    : qsTr("Tapped %n time(s)", "", window.taps)
            font.pixelSize: 28
        }

        Button {
            anchors.horizontalCenter: parent.horizontalCenter
            text: qsTr("Tap me")
            onClicked: window.taps++
        }
    }
}
