// Marks the menu entry of the page being shown.
function withoutQuery(address) {
    return address.split("#")[0].split("?")[0].replace(/\/index[^\/]*$/, "/");
}

window.addEventListener("DOMContentLoaded", function () {
    var menu = document.getElementById("menu");
    if (!menu) {
        return;
    }
    var here = withoutQuery(window.location.href);
    var links = menu.getElementsByTagName("a");
    for (var i = 0; i < links.length; i++) {
        if (withoutQuery(links[i].href) === here) {
            links[i].className = "here";
        }
    }
});
