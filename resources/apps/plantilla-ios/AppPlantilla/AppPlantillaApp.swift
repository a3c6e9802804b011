import SwiftUI

@main
struct AppPlantillaApp: App {
    var body: some Scene {
        WindowGroup {
            ContentView()
        }
    }
}
