import QtQuick
import QtQuick.Window

Window {
    width: 480
    height: 800
    visible: true
    title: "Launcher Icon"

    Image {
        anchors.centerIn: parent
        source: "../icons/128x128/launcher-icon.png"
    }
}
