document.addEventListener('DOMContentLoaded', function () {
    document.body.classList.add('js');
});
