window.lazyImages = [];
