// The map page: a Leaflet map with one marker that follows the GPS fix of the playing second.
// The program calls SetLgtLat and fix with JSON-encoded arguments. Texts it hands over are
// shown as text only; nothing from the program is ever parsed as markup or script.

var map;
var marker;
var latitude;
var longitude;
var inited = 0;

var TILE_URL = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
var ATTRIBUTION =
    '&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> contributors';

function initialize() {
    if (typeof L === "undefined")
        return;
    map = L.map("map_canvas", { center: [22.616061, 114.055691], zoom: 14 });
    map.attributionControl.setPrefix("Leaflet");
    L.tileLayer(TILE_URL, { maxZoom: 19, attribution: ATTRIBUTION }).addTo(map);
    fix(0);
    inited = 1;
}

function fix(newHeight) {
    var canvas = document.getElementById("map_canvas");
    var info = document.getElementById("gpsinfo");
    var body = document.body;
    var h = Number(newHeight);
    if (h > 0) {
        canvas.style.height = h + "px";
        body.style.height = h + "px";
    } else {
        h = body.clientHeight;
        canvas.style.height = h + "px";
    }
    info.style.top = (body.scrollTop + h - 16) + "px";
    if (map)
        map.invalidateSize(false);
}

// The program passes the latitude first; the parameter names are the page's historical ones.
function SetLgtLat(lgt, lat, spd) {
    if (!inited)
        return;
    lgt = String(lgt);
    lat = String(lat);
    spd = String(spd);
    if (lgt === "") {
        ShowGpsInfo(0);
        return;
    }
    document.getElementById("gpsinfo").textContent =
        " Lgt:" + lgt + "   Lat:" + lat + "   " + spd + "Km/H";
    ShowGpsInfo(1);
    if (lgt !== longitude || lat !== latitude) {
        longitude = lgt;
        latitude = lat;
        PlaceMarker(lgt, lat);
    }
}

// Decimal degrees as the camera writes them; anything else is not a position.
function degrees(text) {
    if (!/^\s*[-+]?(\d+(\.\d*)?|\.\d+)\s*$/.test(text))
        return NaN;
    return Number(text);
}

function PlaceMarker(lgt, lat) {
    var a = degrees(lgt);
    var b = degrees(lat);
    // A position that is no position leaves the marker and the map where they are.
    if (!(Math.abs(a) <= 90) || !(Math.abs(b) <= 180))
        return;
    var position = L.latLng(a, b);
    if (marker)
        marker.setLatLng(position);
    else
        marker = L.marker(position, { keyboard: false }).addTo(map);
    // Without animation the map shows the fix at once, also while the view is hidden.
    map.panTo(position, { animate: false });
}

function ShowGpsInfo(show) {
    // The information line stays hidden; the function is kept for the page's callers.
}

window.addEventListener("load", initialize);
window.addEventListener("resize", function () { fix(0); });
